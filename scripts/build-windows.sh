#!/bin/sh
# Installs the cross toolchain, cross-builds the launcher for 32-bit Windows and puts the one file
# players need at dist/windows/kestrune.exe (GUI program, runtime linked in, system DLLs only), with
# its installer kestrune-<version>-setup.exe and portable kestrune-<version>-win32.zip beside it.
#   scripts/build-windows.sh [build-dir]   default build-win-dist; extra CMake options in
#                                          KESTRUNE_CMAKE_OPTIONS (e.g. -DKESTRUNE_LOGIN_URL=...);
#                                          KESTRUNE_SKIP_INSTALL=1 skips the package installation
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-"$root/build-win-dist"}
case $build in /*) ;; *) build=$(pwd)/$build ;; esac
"$root/scripts/configure-windows.sh" "$build" -DCMAKE_BUILD_TYPE=Release
# The packages are made afresh, so that only this version's are handed out.
rm -rf "$build/dist/windows"
cmake --build "$build" -j"${KESTRUNE_JOBS:-$(nproc)}" --target kestrune kestrune_windows_packages

mkdir -p "$root/dist/windows"
# The stripped program the packages hold (cmake/WindowsPackaging.cmake), so all three carry the
# same file.
cp "$build/packaging/windows/kestrune.exe" "$root/dist/windows/kestrune.exe"
# Refuse to hand out a file that would need anything besides the system's own DLLs.
"$root/scripts/check-pe-imports.sh" i686-w64-mingw32-objdump "$root/dist/windows/kestrune.exe"
echo "dist/windows/kestrune.exe ($(wc -c <"$root/dist/windows/kestrune.exe") bytes)"

# The installer and the portable zip beside it.
rm -f "$root"/dist/windows/kestrune-*-setup.exe "$root"/dist/windows/kestrune-*-win32.zip
cp "$build"/dist/windows/kestrune-*-setup.exe "$build"/dist/windows/kestrune-*-win32.zip "$root/dist/windows/"
for package in "$root"/dist/windows/kestrune-*; do
    echo "dist/windows/$(basename "$package") ($(wc -c <"$package") bytes)"
done
