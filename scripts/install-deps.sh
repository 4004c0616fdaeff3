#!/bin/sh
# Installs everything needed to build, run and test the launcher on a
# Debian or Ubuntu machine. Safe to run again.
#   scripts/install-deps.sh            the Linux build
#   scripts/install-deps.sh --windows  also the 32-bit Windows cross build and Wine to test it
set -eu
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
windows=0
if [ "${1:-}" = "--windows" ]; then windows=1; fi
if [ "$windows" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    # Wine runs 32-bit programs with its i386 libraries.
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update
# The cookie store (SQLite), and building and checking the Debian package (scripts/test-package.sh);
# gio starts the desktop entries the tests write.
$SUDO apt-get install -y --no-install-recommends \
    libsqlite3-dev lintian desktop-file-utils appstream dpkg-dev libglib2.0-bin
$SUDO apt-get install -y --no-install-recommends \
    build-essential cmake ninja-build pkg-config git ca-certificates ccache \
    libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev \
    libpng-dev libjpeg-dev zlib1g-dev \
    libgtest-dev libgmock-dev googletest libbenchmark-dev \
    xvfb xauth openbox xdotool x11-utils x11-xserver-utils x11-apps wmctrl imagemagick \
    dbus-x11 at-spi2-core fonts-dejavu-core fonts-noto-cjk \
    python3 clang
if [ "$windows" = 1 ]; then
    # The -posix compilers (GCC with the POSIX thread model), zlib for the target, Wine, and NSIS
    # for the installer.
    $SUDO apt-get install -y --no-install-recommends \
        mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
        libz-mingw-w64-dev wine wine32 wine64 locales nsis
fi
