#!/bin/sh
# Cross-builds the launcher's libraries and tests for Windows (mingw-w64) and runs the tests under
# Wine with ctest, each test program as a Windows process.
#   scripts/test-windows.sh [build-dir]   default build-win; extra CMake options in
#                                         KESTRUNE_CMAKE_OPTIONS; KESTRUNE_SKIP_INSTALL=1 skips the
#                                         package installation (test-all.sh has done it)
#
# Two modes, chosen by what Wine can run here and said at the start and in the summary:
# - normal: the 32-bit Wine runtime is installed and the kernel runs 32-bit programs; the 32-bit
#   build in build-dir is the one tested.
# - fallback: it is not (a mirror that cannot serve the i386 packages, a kernel without 32-bit
#   support), or
#   KESTRUNE_WINDOWS_TEST_ARCH=x86_64 asks for it. The shipped 32-bit program is still built in
#   build-dir, with warnings as errors, and checked to be a 32-bit file importing system DLLs only;
#   the tests run from a 64-bit build in build-dir-x86_64 under the 64-bit Wine. Tests about the 32-bit
#   program itself skip there, naming the mode.
# KESTRUNE_WINDOWS_TEST_ARCH=i686 insists on normal mode.
#
# The Wine prefix is made afresh in the build directory on every run, with its own home and desktop
# folders, so nothing of the user's (or of an earlier run) takes part.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-win"}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
if [ "${KESTRUNE_SKIP_INSTALL:-0}" != 1 ]; then
    "$root/scripts/install-deps.sh" --windows
fi

# Each asked once: the mode and the choice of Wine loader below both depend on them.
wine32_installed=0
if dpkg-query -W -f '${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then wine32_installed=1; fi
kernel_runs_32bit=0
if "$root/scripts/kernel-runs-32bit.sh"; then kernel_runs_32bit=1; fi
case ${KESTRUNE_WINDOWS_TEST_ARCH:-} in
    x86_64)
        mode=fallback
        why="KESTRUNE_WINDOWS_TEST_ARCH=x86_64 asks for it" ;;
    i686 | "")
        if [ "$wine32_installed" = 1 ] && [ "$kernel_runs_32bit" = 1 ]; then
            mode=normal
            why="the 32-bit Wine runtime (wine32:i386) is installed and the kernel runs 32-bit programs"
        elif [ "${KESTRUNE_WINDOWS_TEST_ARCH:-}" = i686 ]; then
            echo "test-windows: KESTRUNE_WINDOWS_TEST_ARCH=i686, but the 32-bit Wine runtime (wine32:i386) is not installed or this kernel does not run 32-bit programs" >&2
            exit 1
        elif [ "$wine32_installed" = 1 ]; then
            mode=fallback
            why="this kernel does not run 32-bit programs, so the installed 32-bit Wine cannot start"
        else
            mode=fallback
            why="the 32-bit Wine runtime (wine32:i386) is not installed (scripts/install-deps.sh --windows says why)"
        fi ;;
    *)
        echo "test-windows: KESTRUNE_WINDOWS_TEST_ARCH must be i686 or x86_64" >&2
        exit 2 ;;
esac
if [ "$mode" = normal ]; then
    banner="normal mode: the 32-bit build's tests run under 32-bit Wine, because $why"
    test_build=$build
else
    banner="fallback mode: the 32-bit kestrune.exe is built and checked but not run; the tests run from a 64-bit build under 64-bit Wine, because $why"
    test_build=$build-x86_64
fi
echo "test-windows: $banner"

if [ "$mode" = fallback ] && [ "$wine32_installed" = 1 ] && [ "$kernel_runs_32bit" = 0 ]; then
    # Debian's `wine` prefers an installed 32-bit loader, which this kernel cannot start: the suite's
    # Wine (ctest's emulator, wineboot, the sessions) goes to the 64-bit loader instead.
    loader_dir="$test_build/wine64-loader"
    mkdir -p "$loader_dir"
    for name in wine wine-stable; do
        printf '#!/bin/sh\nexport WINELOADER=/usr/lib/wine/wine64\nexec /usr/lib/wine/wine64 "$@"\n' >"$loader_dir/$name"
        chmod +x "$loader_dir/$name"
    done
    PATH="$loader_dir:$PATH"
    export PATH
fi

jobs=${KESTRUNE_JOBS:-$(nproc)}
KESTRUNE_SKIP_INSTALL=1 "$root/scripts/configure-windows.sh" --arch i686 "$build"
if [ "$mode" = fallback ]; then
    # The shipped program still has to compile cleanly for its own architecture and stay one 32-bit
    # file on system DLLs only. Its tests are compiled for it too, though they run from the 64-bit
    # build: code that only the 32-bit compiler rejects (stdcall callbacks, say) is caught here.
    cmake "$build" -DKESTRUNE_WERROR=ON >/dev/null
    cmake --build "$build" -j"$jobs"
    "$root/scripts/check-pe-imports.sh" i686-w64-mingw32-objdump "$build/kestrune.exe"
    KESTRUNE_SKIP_INSTALL=1 "$root/scripts/configure-windows.sh" --arch x86_64 "$test_build"
fi
cmake --build "$test_build" -j"$jobs"

# The Chinese test texts need a locale that can show them; GBK and UTF-8 Chinese give code page 936.
if command -v localedef >/dev/null 2>&1 && ! locale -a 2>/dev/null | grep -qi '^zh_CN.utf8$'; then
    localedef -i zh_CN -f UTF-8 zh_CN.UTF-8 2>/dev/null || true
fi

wine_root="$test_build/wine"
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
"$root/scripts/wine-make-prefix.sh" "$wine_root/wineboot.log"

# One persistent server and one program run before the tests: every test then starts in a fraction
# of a second instead of paying for a server start.
timeout 30 wineserver -p
timeout 60 wine cmd /c exit </dev/null >/dev/null 2>&1 || true

log="$test_build/wine-suite.log"
status_file="$test_build/wine-suite.status"
echo 1 >"$status_file"
{
    status=0
    ctest --test-dir "$test_build" --output-on-failure --timeout "${KESTRUNE_TEST_TIMEOUT:-120}" -j"$jobs" || status=$?
    echo "$status" >"$status_file"
} 2>&1 | tee "$log"
status=$(cat "$status_file")
skipped=$(grep -c '(Skipped)' "$log" || true)
echo "test-windows: $banner"
echo "test-windows: $(grep -E '^[0-9]+% tests passed' "$log" || echo 'ctest gave no summary'); $skipped skipped"
exit "$status"
