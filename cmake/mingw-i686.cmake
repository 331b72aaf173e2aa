# Cross build for 32-bit Windows with MinGW-w64: the shipped tool. The win32 thread model: the
# tool has one thread, and this way carries no threads library (some 30 KB).
#
# No emulator: this machine cannot run 32-bit programs, so the result is built and inspected
# (format, subsystem, imports), never executed here.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(PELMORA_MINGW_TRIPLET i686-w64-mingw32)
set(PELMORA_MINGW_THREADS win32)
include("${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake")
