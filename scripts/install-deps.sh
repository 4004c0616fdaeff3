#!/bin/sh
# Installs everything needed to build, run and test the launcher on a
# Debian or Ubuntu machine. Safe to run again.
set -eu
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
# The cookie store (SQLite), and building and checking the Debian package (scripts/test-package.sh).
$SUDO apt-get install -y --no-install-recommends \
    libsqlite3-dev lintian desktop-file-utils appstream dpkg-dev
$SUDO apt-get install -y --no-install-recommends \
    build-essential cmake ninja-build pkg-config git ca-certificates \
    libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev \
    libpng-dev libjpeg-dev zlib1g-dev \
    libgtest-dev libgmock-dev libbenchmark-dev \
    xvfb xauth openbox xdotool x11-utils x11-xserver-utils x11-apps wmctrl imagemagick \
    dbus-x11 at-spi2-core fonts-dejavu-core fonts-noto-cjk \
    python3 clang
