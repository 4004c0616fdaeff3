# Cross-building for 64-bit Windows with mingw-w64 (Debian's x86-64 packages). Not a product: the
# launcher ships as the 32-bit program. This build carries the Windows tests where only the 64-bit
# Wine can be installed (scripts/test-windows.sh, fallback mode).
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-x86_64-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KESTRUNE_MINGW_TRIPLET x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
