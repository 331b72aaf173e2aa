# Cross build for 32-bit Windows with MinGW-w64 (POSIX thread model): the shipped tool.
#
# No emulator: this machine cannot run 32-bit programs, so the result is built and inspected
# (format, subsystem, imports), never executed here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(PELMORA_MINGW_TRIPLET i686-w64-mingw32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
