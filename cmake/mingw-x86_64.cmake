# Cross build for 64-bit Windows with MinGW-w64 (POSIX thread model), run under wine64.
#
# This build is the one the tests execute: this machine runs no 32-bit programs, so the shipped
# 32-bit tool is built by mingw-i686.cmake and only inspected.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(PELMORA_MINGW_TRIPLET x86_64-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")

# Every test program runs through cmake/wine-run with the build's own Wine state folder: a
# private prefix inside the build tree, made on first use, with a warm server.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run;${CMAKE_BINARY_DIR}/wine")
