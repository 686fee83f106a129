# Cross-compiles the Qt-free core, orvan-cli and their tests for 64-bit
# Windows with Debian's MinGW-w64 (POSIX threads flavour), and runs the
# tests under Wine:
#   cmake -S . -B build-win -G Ninja --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ORVAN_MINGW_TRIPLET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${ORVAN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ORVAN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ORVAN_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ORVAN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The runtime (libgcc, libstdc++, winpthread) linked in, so an .exe runs on
# its own: nothing to copy beside it, nothing for Wine to look for.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# ctest starts each test program through Wine, in a prefix of the tree's own
# (set by the tree, see cmake/OrvanWindows.cmake), never the user's ~/.wine.
find_program(ORVAN_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(ORVAN_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ORVAN_WINE})
endif()
