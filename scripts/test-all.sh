#!/bin/sh
# Installs what is needed, builds everything and runs every test: unit tests, system tests and the
# GUI tests (real windows under Xvfb + openbox, started by tests/gui/with-x-session.sh), then
# installs the Debian package on this machine, runs it and removes it (scripts/test-package.sh), and
# runs the 32-bit Windows build's tests under Wine (scripts/test-windows.sh, in <build-dir>-win),
# then checks that the Debian package and the Windows files build reproducibly
# (scripts/check-reproducible.sh) and that the Windows files sign and verify
# (scripts/check-windows-signing.sh).
#   scripts/test-all.sh [build-dir]      extra CMake options in KESTRUNE_CMAKE_OPTIONS
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build"}
"$root/scripts/install-deps.sh" --windows
# shellcheck disable=SC2086
cmake -S "$root" -B "$build" -G Ninja ${KESTRUNE_CMAKE_OPTIONS:-}
cmake --build "$build" -j"$(nproc)"
status=0
ctest --test-dir "$build" --output-on-failure --timeout 300 -j"$(nproc)" || status=$?
# The Debian package: built, installed with apt, run from the PATH, purged.
"$root/scripts/test-package.sh" "$build" || status=$?
if [ -x "$root/fuzz/smoke.sh" ] && command -v clang++ >/dev/null 2>&1; then
    KESTRUNE_FUZZ_BUILD_DIR="$build-fuzz" "$root/fuzz/smoke.sh" "${KESTRUNE_FUZZ_SECONDS:-30}" || status=$?
fi
# The Windows suite runs whatever the Linux one gave, so one run reports both.
KESTRUNE_SKIP_INSTALL=1 "$root/scripts/test-windows.sh" "$build-win" || status=$?
# The files players download: the same bytes from two builds of this commit, and signed and
# verified with a throwaway certificate.
"$root/scripts/check-reproducible.sh" --windows "$build-reproducible" || status=$?
# (The signing check signs the first of those builds, made from this tree: only its packaging runs
# again.)
"$root/scripts/check-windows-signing.sh" "$build-reproducible/windows-first" || status=$?
exit $status
