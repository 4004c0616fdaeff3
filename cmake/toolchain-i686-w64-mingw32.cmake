# Cross-building the shipped program for 32-bit Windows with mingw-w64 (Debian's i686 packages):
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-i686-w64-mingw32.cmake
set(CMAKE_SYSTEM_PROCESSOR i686)
set(KESTRUNE_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
