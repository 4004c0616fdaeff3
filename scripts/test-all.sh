#!/bin/sh
# Installs what is needed, builds everything and runs every test: unit tests, system tests and the
# GUI tests (real windows under Xvfb + openbox, started by tests/gui/with-x-session.sh), then
# installs the Debian package on this machine, runs it and removes it (scripts/test-package.sh).
#   scripts/test-all.sh [build-dir]      extra CMake options in KESTRUNE_CMAKE_OPTIONS
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
"$root/scripts/install-deps.sh"
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja ${KESTRUNE_CMAKE_OPTIONS:-}
cmake --build "$build" -j"$(nproc)"
ctest --test-dir "$build" --output-on-failure --timeout 300 -j"$(nproc)"
# The Debian package: built, installed with apt, run from the PATH, purged.
"$root/scripts/test-package.sh" "$build"
if [ -x "$root/fuzz/smoke.sh" ] && command -v clang++ >/dev/null 2>&1; then
    KESTRUNE_FUZZ_BUILD_DIR="$build-fuzz" "$root/fuzz/smoke.sh" "${KESTRUNE_FUZZ_SECONDS:-30}"
fi
