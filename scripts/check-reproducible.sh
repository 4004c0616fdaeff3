#!/bin/sh
# Builds the files players download twice from this commit, in two folders of different names, and
# checks that each pair is byte for byte the same:
#   the Debian package                                   always
#   kestrune.exe, the portable zip and the installer     with --windows (the shipped 32-bit files,
#                                                        unsigned: a signature is made anew each time)
#   scripts/check-reproducible.sh [--windows] [work-dir]   default work-dir: a new temporary folder
# Both builds take SOURCE_DATE_EPOCH from the commit (or from the environment). The compiler cache is
# kept out, so that every object is compiled twice.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
windows=0
if [ "${1:-}" = "--windows" ]; then windows=1; shift; fi
work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/kestrune-reproducible.XXXXXX")}
mkdir -p "$work"
work=$(cd "$work" && pwd)
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git -C "$root" log -1 --format=%ct)}"
export CCACHE_DISABLE=1
unset KESTRUNE_SIGN_PKCS12 KESTRUNE_SIGN_PASSWORD_FILE KESTRUNE_SIGN_TIMESTAMP_URL || true
jobs=${KESTRUNE_JOBS:-$(nproc)}
status=0

same() {  # what, first file, second file
    if cmp -s "$2" "$3"; then
        echo "check-reproducible: $1 is the same in both builds ($(wc -c <"$2") bytes, sha256 $(sha256sum "$2" | cut -c1-16)...)"
    else
        echo "check-reproducible: $1 DIFFERS between $2 and $3" >&2
        status=1
    fi
}

linux_build() {  # folder
    rm -rf "$1"
    cmake -S "$root" -B "$1" -G Ninja -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF >/dev/null
    cmake --build "$1" -j"$jobs" --target kestrune kestrune_packaging_docs >/dev/null
    rm -rf "$1/dist"
    (cd "$1" && cpack -G DEB >/dev/null)
}
linux_build "$work/linux-first"
linux_build "$work/linux-second-build"
deb=$(cd "$work/linux-first/dist" && ls kestrune_*.deb)
same "$deb" "$work/linux-first/dist/$deb" "$work/linux-second-build/dist/$deb"
if [ "$status" -ne 0 ] && command -v dpkg-deb >/dev/null 2>&1; then
    for side in linux-first linux-second-build; do
        mkdir -p "$work/$side/unpacked" && dpkg-deb -R "$work/$side/dist/$deb" "$work/$side/unpacked"
    done
    diff -r "$work/linux-first/unpacked" "$work/linux-second-build/unpacked" >&2 || true
fi

if [ "$windows" = 1 ]; then
    windows_build() {  # folder
        rm -rf "$1"
        KESTRUNE_SKIP_INSTALL=1 "$root/scripts/configure-windows.sh" --arch i686 "$1" \
            -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
        cmake --build "$1" -j"$jobs" --target kestrune kestrune_windows_packages >/dev/null
    }
    windows_build "$work/windows-first"
    windows_build "$work/windows-second-build"
    for file in packaging/windows/kestrune.exe packaging/windows/uninstall.exe \
                "dist/windows/$(cd "$work/windows-first/dist/windows" && ls kestrune-*-win32.zip)" \
                "dist/windows/$(cd "$work/windows-first/dist/windows" && ls kestrune-*-setup.exe)"; do
        same "$(basename "$file")" "$work/windows-first/$file" "$work/windows-second-build/$file"
    done
fi
exit "$status"
