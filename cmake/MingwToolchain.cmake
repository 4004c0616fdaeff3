# The part of the mingw-w64 toolchain files that does not depend on the target: the toolchain file
# sets KESTRUNE_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR, then includes this.
# The -posix compilers use the POSIX thread model (std::thread, std::mutex); the plain names are the
# win32 model. Programs link the runtime statically, so each .exe imports only system DLLs, and run
# under Wine for ctest.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${KESTRUNE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KESTRUNE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${KESTRUNE_MINGW_TRIPLET}-windres)

# Libraries, headers and packages come from the target's tree only; programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${KESTRUNE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(ZLIB_USE_STATIC_LIBS ON)

# Test programs (and gtest's discovery) run through Wine, which starts 32- and 64-bit programs alike
# (a 32-bit one only where the 32-bit runtime is installed).
find_program(KESTRUNE_WINE wine)
if(KESTRUNE_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${KESTRUNE_WINE})
endif()
