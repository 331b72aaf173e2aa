// Seeding and inspecting the registry in tests, through the ordinary API so that the same
// helpers serve the emulated platform and a real one.
#pragma once

#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace testreg {

using Bytes = std::vector<BYTE>;

Bytes Sz(const std::string& text);  // text plus its terminating NUL
Bytes Dword(DWORD value);

void CreateKey(HKEY root, const std::string& path);
void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const Bytes& data);
void SetString(HKEY root, const std::string& path, const std::string& name,
               const std::string& text);
bool KeyExists(HKEY root, const std::string& path);
std::vector<std::string> SubkeyNames(HKEY root, const std::string& path);
std::vector<std::string> ValueNames(HKEY root, const std::string& path);
// Everything below a key, values sorted by name, as one text: for "left untouched" checks.
std::string Dump(HKEY root, const std::string& path);
// Removes a key with everything in it, if it exists.
void DeleteTree(HKEY root, const std::string& path);

// A tree described in one line per key, values as name=text (REG_SZ):
//   {"A", {"v1=x", "=default"}}, {"A\\B", {}}
struct KeySpec {
  std::string path;
  std::vector<std::string> values;
};
void Seed(HKEY root, const std::string& base, const std::vector<KeySpec>& keys);

}  // namespace testreg
