#!/bin/sh
# Installs the cross toolchain (unless KESTRUNE_SKIP_INSTALL=1) and configures a Windows build with
# mingw-w64 in BUILD: Ninja, the project's toolchain file for the architecture, ccache when there is
# one, then the given CMake options and those in KESTRUNE_CMAKE_OPTIONS.
#   scripts/configure-windows.sh [--arch i686|x86_64] BUILD [cmake-option ...]
# i686, the default, is the shipped 32-bit program; x86_64 only carries the tests where the 32-bit
# Wine runtime is missing (scripts/test-windows.sh, fallback mode).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
arch=i686
if [ "${1:-}" = --arch ]; then
    arch=$2
    shift 2
fi
case $arch in
    i686 | x86_64) ;;
    *) echo "configure-windows: the architecture is i686 or x86_64, not '$arch'" >&2; exit 2 ;;
esac
build=$1
shift
if [ "${KESTRUNE_SKIP_INSTALL:-0}" != 1 ]; then
    "$root/scripts/install-deps.sh" --windows
fi

launcher=""
if command -v ccache >/dev/null 2>&1; then
    launcher="-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
fi
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja "$@" \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-$arch-w64-mingw32.cmake" $launcher ${KESTRUNE_CMAKE_OPTIONS:-}
