# Shared part of the two MinGW-w64 toolchain files; they set PELMORA_MINGW_TRIPLET first.
#
# The POSIX thread model compilers are the ones whose libstdc++ has std::thread and std::mutex,
# which the test programs use; a toolchain file may ask for the win32 model instead
# (PELMORA_MINGW_THREADS), which needs no threads library in the program.
if(NOT PELMORA_MINGW_THREADS)
  set(PELMORA_MINGW_THREADS posix)
endif()
find_program(PELMORA_MINGW_CXX NAMES ${PELMORA_MINGW_TRIPLET}-g++-${PELMORA_MINGW_THREADS})
find_program(PELMORA_MINGW_CC NAMES ${PELMORA_MINGW_TRIPLET}-gcc-${PELMORA_MINGW_THREADS})
find_program(PELMORA_MINGW_RC NAMES ${PELMORA_MINGW_TRIPLET}-windres)
if(NOT PELMORA_MINGW_CXX OR NOT PELMORA_MINGW_CC OR NOT PELMORA_MINGW_RC)
  message(FATAL_ERROR
    "The ${PELMORA_MINGW_TRIPLET} cross compiler is missing "
    "(${PELMORA_MINGW_TRIPLET}-g++-${PELMORA_MINGW_THREADS}, -gcc-${PELMORA_MINGW_THREADS}, -windres). "
    "Install it with tools/bootstrap (Debian packages g++-mingw-w64-*-${PELMORA_MINGW_THREADS}, "
    "binutils-mingw-w64-*).")
endif()

set(CMAKE_C_COMPILER "${PELMORA_MINGW_CC}")
set(CMAKE_CXX_COMPILER "${PELMORA_MINGW_CXX}")
set(CMAKE_RC_COMPILER "${PELMORA_MINGW_RC}")

# Headers and libraries come from the cross sysroot only; programs run during the build are the
# host's.
set(CMAKE_FIND_ROOT_PATH /usr/${PELMORA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
