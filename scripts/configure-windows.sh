#!/bin/sh
# Installs the cross toolchain (unless KESTRUNE_SKIP_INSTALL=1) and configures a 32-bit Windows
# build with mingw-w64 in BUILD: Ninja, the project's toolchain file, ccache when there is one, then
# the given CMake options and those in KESTRUNE_CMAKE_OPTIONS.
#   scripts/configure-windows.sh BUILD [cmake-option ...]
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
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
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-i686-w64-mingw32.cmake" $launcher ${KESTRUNE_CMAKE_OPTIONS:-}
