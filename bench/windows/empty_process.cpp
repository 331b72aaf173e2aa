// A program that does nothing but start and end, importing the same system DLLs as the tool:
// what starting a process costs, the floor under both programs of the side-by-side run.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

int main(int argc, char**) {
  // Never true: the calls only make the linker import what the tool imports.
  if (argc < 0) {
    CoInitialize(nullptr);
    IMalloc* allocator = nullptr;
    SHGetMalloc(&allocator);
    RegCloseKey(HKEY_LOCAL_MACHINE);
    char text[16];
    wsprintfA(text, "%d", argc);
  }
  return 0;
}
