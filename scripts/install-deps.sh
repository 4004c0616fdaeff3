#!/bin/sh
# Installs everything needed to build, run and test the launcher on a Debian or Ubuntu machine.
# Safe to run again.
#   scripts/install-deps.sh            the Linux build
#   scripts/install-deps.sh --windows  also the Windows cross build, NSIS, and Wine to test it
#
# A mirror caught in the middle of a sync (an index whose size does not match its release file) does
# not stop it: `apt-get update` is tried three times, then the indexes that did arrive are used and
# the ones that failed are named on one line. It fails, saying why, only when no package index is
# usable at all or when a package the chosen build needs cannot be installed.
#
# With --windows the 32-bit Wine runtime (wine32, i386 packages) is installed when the mirror allows
# it and the kernel runs 32-bit programs; the Windows suite then runs the 32-bit build ("normal
# mode"). When it cannot be installed, or KESTRUNE_WINDOWS_TEST_ARCH=x86_64 asks for it, only the
# 64-bit Wine is installed and scripts/test-windows.sh runs its fallback mode.
# KESTRUNE_WINDOWS_TEST_ARCH=i686 makes the 32-bit runtime a requirement.
set -eu
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
windows=0
if [ "${1:-}" = "--windows" ]; then windows=1; fi
test_arch=${KESTRUNE_WINDOWS_TEST_ARCH:-}
case $test_arch in
    "" | i686 | x86_64) ;;
    *) echo "install-deps: KESTRUNE_WINDOWS_TEST_ARCH must be i686 or x86_64, not '$test_arch'" >&2; exit 2 ;;
esac
want_wine32=0
if [ "$windows" = 1 ] && [ "$test_arch" != x86_64 ]; then want_wine32=1; fi

say() { echo "install-deps: $*" >&2; }

# A kernel without 32-bit support cannot start the 32-bit Wine: its i386 packages would only cost time.
if [ "$want_wine32" = 1 ] && ! "$(dirname "$0")/kernel-runs-32bit.sh"; then
    if [ "$test_arch" = i686 ]; then
        say "KESTRUNE_WINDOWS_TEST_ARCH=i686 needs the 32-bit Wine runtime, but this kernel does not run 32-bit programs"
        exit 1
    fi
    say "this kernel does not run 32-bit programs: the 32-bit Wine runtime is skipped, and the Windows suite will run in fallback mode"
    want_wine32=0
fi

# True when at least one package index (of any source) is on the machine, fresh or from before.
have_package_index() {
    for index in $(apt-get indextargets --format '$(FILENAME)' 'Created-By: Packages' 2>/dev/null); do
        for file in "$index" "$index".*; do
            if [ -s "$file" ]; then return 0; fi
        done
    done
    return 1
}

update_indexes() {
    log=$(mktemp)
    try=1
    wait=5
    while :; do
        status=0
        $SUDO apt-get update >"$log" 2>&1 || status=$?
        cat "$log"
        if [ "$status" -eq 0 ] && ! grep -q '^Err:' "$log"; then
            rm -f "$log"
            return 0
        fi
        [ "$try" -lt 3 ] || break
        say "apt-get update failed (try $try of 3); trying again in ${wait} s"
        sleep "$wait"
        try=$((try + 1))
        wait=$((wait * 3))
    done
    # "Err:6 http://host/debian-security bookworm-security/main i386 Packages" names one index.
    failed=$(sed -n 's/^Err:[0-9]* //p' "$log" | sort -u | paste -sd ';' - | sed 's/;/; /g')
    rm -f "$log"
    if ! have_package_index; then
        say "no package index could be fetched (apt-get update failed 3 times; its errors are above), so nothing can be installed"
        exit 1
    fi
    say "going on with the package indexes that arrived; these failed to download: ${failed:-(apt-get named none)}"
}

# apt-get's own error stays on the screen; this adds which part of the build could not be served.
install_packages() {
    what=$1
    shift
    if ! $SUDO apt-get install -y --no-install-recommends "$@"; then
        say "could not install the packages $what needs (apt-get's reason is above): $*"
        exit 1
    fi
}

if [ "$want_wine32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    # Wine runs 32-bit programs with its i386 libraries.
    $SUDO dpkg --add-architecture i386
fi
update_indexes

# The cookie store (SQLite), and building and checking the Debian package (scripts/test-package.sh);
# gio starts the desktop entries the tests write.
install_packages "the Linux build and its tests" \
    build-essential cmake ninja-build pkg-config git ca-certificates ccache \
    libgtk-3-dev libwebkit2gtk-4.1-dev libsoup-3.0-dev libsqlite3-dev \
    libpng-dev libjpeg-dev zlib1g-dev libgif-dev \
    libgtest-dev libgmock-dev googletest libbenchmark-dev \
    lintian desktop-file-utils appstream dpkg-dev libglib2.0-bin \
    xvfb xauth openbox xdotool x11-utils x11-xserver-utils x11-apps wmctrl imagemagick \
    dbus-x11 dbus-daemon at-spi2-core python3-pyatspi python3-gi openssl fonts-dejavu-core fonts-noto-cjk \
    python3 clang

if [ "$windows" = 1 ]; then
    # The -posix compilers (GCC with the POSIX thread model) for the shipped 32-bit program and for
    # the 64-bit test build of fallback mode, zlib for both targets, 64-bit Wine, NSIS for the
    # installer, zip for the portable zip, osslsigncode (and openssl, unzip) to sign the files and
    # check the signatures. None of these needs an i386 package.
    install_packages "the Windows cross build and its tests" \
        mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 \
        g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 \
        libz-mingw-w64-dev wine wine64 locales nsis zip osslsigncode openssl unzip
    if [ "$want_wine32" = 1 ]; then
        if $SUDO apt-get install -y --no-install-recommends wine32:i386; then
            say "the 32-bit Wine runtime is installed: the Windows suite runs the 32-bit build (normal mode)"
        elif [ "$test_arch" = i686 ]; then
            say "KESTRUNE_WINDOWS_TEST_ARCH=i686 needs the 32-bit Wine runtime (wine32:i386), which cannot be installed from this mirror (apt-get's reason is above)"
            exit 1
        else
            say "the 32-bit Wine runtime (wine32:i386) cannot be installed from this mirror (apt-get's reason is above): the Windows suite will build the 32-bit program and run its tests from a 64-bit build (fallback mode)"
        fi
    elif [ "$test_arch" = x86_64 ]; then
        say "KESTRUNE_WINDOWS_TEST_ARCH=x86_64: the 32-bit Wine runtime is not installed; the Windows suite runs in fallback mode"
    fi
fi
