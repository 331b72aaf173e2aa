// Fuzz target: the registry reader's data path.
//
// The input is one value: its type (the first four bytes, little-endian) and its data (the
// rest, any size, zero included; with or without a terminating NUL, with NULs inside). It is
// stored in the emulated registry with RegSetValueExA and read with ReadRegistryString, which
// must give the data up to its first NUL for REG_SZ and REG_EXPAND_SZ, the empty text for no
// data of any type, and raise ERegistryException for data of any other type. Nothing else: no
// other exception, no crash, no registry handle left open.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/emulated/control.h"
#include "registry/read_registry_string.h"

namespace {

const char kKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmora V3.2";
const char kValue[] = "UninstallString";

void Check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "registry string: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  emu::ResetMachine();
  emu::KeepJournal(false);  // millions of runs: count the calls, keep no record of them
  HKEY key = nullptr;
  Check(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS,
        "cannot create the key");
  RegCloseKey(key);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
  if (size < 4 || size - 4 > 0xFFFFFFFFu) return 0;
  DWORD type = 0;
  for (int i = 3; i >= 0; --i) type = type << 8 | input[i];
  const BYTE* data = input + 4;
  const DWORD dataSize = static_cast<DWORD>(size - 4);

  HKEY key = nullptr;
  Check(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS,
        "cannot open the key");
  Check(RegSetValueExA(key, kValue, 0, type, data, dataSize) == ERROR_SUCCESS,
        "cannot store the value");
  RegCloseKey(key);

  const bool text = type == REG_SZ || type == REG_EXPAND_SZ;
  try {
    const AnsiString read = ReadRegistryString(0, kKey, kValue);
    Check(dataSize == 0 || text, "data that is not text was read as text");
    const char* chars = reinterpret_cast<const char*>(data);
    Check(read == std::string(chars, strnlen(chars, dataSize)),
          "the text is not the data up to its first NUL");
  } catch (const ERegistryException& error) {
    Check(dataSize != 0 && !text, "text, or no data, raised");
    Check(std::strcmp(error.what(), "Invalid data type for 'UninstallString'") == 0,
          "unexpected message");
  }
  Check(emu::OpenRegistryHandles() == 0, "a registry handle was left open");
  return 0;
}
