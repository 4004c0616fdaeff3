#!/bin/sh
# Cross-builds the launcher's libraries and tests for 32-bit Windows (mingw-w64) and runs the tests
# under Wine with ctest, each test program as a Windows process.
#   scripts/test-windows.sh [build-dir]   default build-win; extra CMake options in
#                                         KESTRUNE_CMAKE_OPTIONS; KESTRUNE_SKIP_INSTALL=1 skips the
#                                         package installation (test-all.sh has done it)
# The Wine prefix is made afresh in the build directory on every run, with its own home and desktop
# folders, so nothing of the user's (or of an earlier run) takes part.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-win"}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
"$root/scripts/configure-windows.sh" "$build"
cmake --build "$build" -j"${KESTRUNE_JOBS:-$(nproc)}"

# The Chinese test texts need a locale that can show them; GBK and UTF-8 Chinese give code page 936.
if command -v localedef >/dev/null 2>&1 && ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 2>/dev/null || true
fi

wine_root="$build/wine"
# A server left from an interrupted run would keep the old prefix's files open.
if [ -d "$wine_root/prefix" ]; then
    WINEPREFIX="$wine_root/prefix" timeout 30 wineserver -k >/dev/null 2>&1 || true
fi
rm -rf "$wine_root"
mkdir -p "$wine_root/home"
export WINEPREFIX="$wine_root/prefix"
export HOME="$wine_root/home"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d"
unset DISPLAY WAYLAND_DISPLAY || true

stop_server() { timeout 30 wineserver -k >/dev/null 2>&1 || true; }
trap stop_server EXIT
trap 'exit 130' INT TERM

echo "Preparing the Wine prefix $WINEPREFIX"
timeout "${KESTRUNE_WINEBOOT_TIMEOUT:-300}" wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w || true
# A fresh prefix's user folders are links into $HOME; the tests get real folders of their own.
"$root/scripts/wine-real-user-folders.sh" "$WINEPREFIX"

# One persistent server and one program run before the tests: every test then starts in a fraction
# of a second instead of paying for a server start.
timeout 30 wineserver -p
timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1 || true

status=0
ctest --test-dir "$build" --output-on-failure --timeout "${KESTRUNE_TEST_TIMEOUT:-120}" \
    -j"${KESTRUNE_JOBS:-$(nproc)}" || status=$?
exit $status
