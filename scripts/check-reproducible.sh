#!/bin/sh
# Builds the files players download twice from this commit and checks that each pair is byte for
# byte the same:
#   the Debian package                                   always
#   kestrune.exe, the portable zip and the installer     with --windows (the shipped 32-bit files,
#                                                        unsigned: a signature is made anew each time)
#   scripts/check-reproducible.sh [--windows] [work-dir]   default work-dir: a new temporary folder
# The two builds differ in everything that must not matter: the source folder (the second builds a
# copy of the tree's files), the build folder, the umask, the time zone and the locale. The first
# takes its date from the commit as any build does; the second, whose copy has no history, from
# SOURCE_DATE_EPOCH. The compiler cache is kept out, so that every object is compiled twice.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
windows=0
if [ "${1:-}" = "--windows" ]; then windows=1; shift; fi
work=${1:-$(mktemp -d "${TMPDIR:-/tmp}/kestrune-reproducible.XXXXXX")}
mkdir -p "$work"
work=$(cd "$work" && pwd)
epoch=$(git -C "$root" log -1 --format=%ct)
unset SOURCE_DATE_EPOCH || true
export CCACHE_DISABLE=1
unset KESTRUNE_SIGN_PKCS12 KESTRUNE_SIGN_PASSWORD_FILE KESTRUNE_SIGN_TIMESTAMP_URL || true
jobs=${KESTRUNE_JOBS:-$(nproc)}
status=0

# The second source folder: the files of the tree (tracked or new, not ignored) as they are now.
copy="$work/source-copy"
rm -rf "$copy"
mkdir -p "$copy"
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
    xargs -0 sh -c 'for f; do if [ -e "$f" ]; then cp -P --parents -t "$0" "$f"; fi; done' "$copy")

# Runs "$@" as the second build: another umask, time zone and locale, the commit's date given.
second() {
    (
        umask 002
        export TZ=Asia/Tokyo LC_ALL=C.UTF-8 SOURCE_DATE_EPOCH="$epoch"
        "$@"
    )
}

same() {  # what, first file, second file
    if cmp -s "$2" "$3"; then
        echo "check-reproducible: $1 is the same in both builds ($(wc -c <"$2") bytes, sha256 $(sha256sum "$2" | cut -c1-16)...)"
    else
        echo "check-reproducible: $1 DIFFERS between $2 and $3" >&2
        status=1
    fi
}

linux_build() {  # source, folder
    rm -rf "$2"
    cmake -S "$1" -B "$2" -G Ninja -DKESTRUNE_BUILD_TESTS=OFF -DKESTRUNE_BUILD_BENCH=OFF >/dev/null
    cmake --build "$2" -j"$jobs" --target kestrune kestrune_packaging_docs >/dev/null
    rm -rf "$2/dist"
    # CPack gives the package's members the modes its umask leaves, so packaging runs under 022.
    (cd "$2" && umask 022 && cpack -G DEB >/dev/null)
}
linux_build "$root" "$work/linux-first"
second linux_build "$copy" "$work/linux-second-build"
deb=$(cd "$work/linux-first/dist" && ls kestrune_*.deb)
same "$deb" "$work/linux-first/dist/$deb" "$work/linux-second-build/dist/$deb"
if [ "$status" -ne 0 ] && command -v dpkg-deb >/dev/null 2>&1; then
    for side in linux-first linux-second-build; do
        mkdir -p "$work/$side/unpacked" && dpkg-deb -R "$work/$side/dist/$deb" "$work/$side/unpacked"
    done
    diff -r "$work/linux-first/unpacked" "$work/linux-second-build/unpacked" >&2 || true
fi

if [ "$windows" = 1 ]; then
    windows_build() {  # source, folder
        rm -rf "$2"
        KESTRUNE_SKIP_INSTALL=1 "$1/scripts/configure-windows.sh" --arch i686 "$2" \
            -DCMAKE_BUILD_TYPE=Release -DKESTRUNE_BUILD_TESTS=OFF >/dev/null
        cmake --build "$2" -j"$jobs" --target kestrune kestrune_windows_packages >/dev/null
    }
    windows_build "$root" "$work/windows-first"
    second windows_build "$copy" "$work/windows-second-build"
    for file in packaging/windows/kestrune.exe packaging/windows/uninstall.exe \
                "dist/windows/$(cd "$work/windows-first/dist/windows" && ls kestrune-*-win32.zip)" \
                "dist/windows/$(cd "$work/windows-first/dist/windows" && ls kestrune-*-setup.exe)"; do
        same "$(basename "$file")" "$work/windows-first/$file" "$work/windows-second-build/$file"
    done
fi
exit "$status"
