#include "tests/support/registry_helpers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

namespace testreg {
namespace {

HKEY Open(HKEY root, const std::string& path, REGSAM sam) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, sam, &key) != ERROR_SUCCESS) return nullptr;
  return key;
}

}  // namespace

Bytes Sz(const std::string& text) {
  Bytes bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

Bytes Dword(DWORD value) {
  Bytes bytes(4);
  std::memcpy(bytes.data(), &value, 4);
  return bytes;
}

namespace {

// Creates `path` below `root` and returns it open. The 8-bit calls take paths of at most 260
// characters, so a longer one is created in steps, each below the key made before it.
HKEY CreatePath(HKEY root, const std::string& path) {
  std::string first = path, rest;
  if (path.size() > 200) {
    const auto cut = path.rfind('\\', 200);
    first = path.substr(0, cut);
    rest = path.substr(cut + 1);
  }
  HKEY key = nullptr;
  const LSTATUS rc = RegCreateKeyExA(root, first.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                     KEY_ALL_ACCESS, nullptr, &key, nullptr);
  EXPECT_EQ(rc, ERROR_SUCCESS) << first;
  if (rc != ERROR_SUCCESS || rest.empty()) return rc == ERROR_SUCCESS ? key : nullptr;
  HKEY below = CreatePath(key, rest);
  RegCloseKey(key);
  return below;
}

}  // namespace

void CreateKey(HKEY root, const std::string& path) {
  HKEY key = CreatePath(root, path);
  if (key) RegCloseKey(key);
}

void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type,
              const Bytes& data) {
  HKEY key = CreatePath(root, path);
  ASSERT_NE(key, nullptr) << path;
  EXPECT_EQ(RegSetValueExA(key, name.c_str(), 0, type, data.empty() ? nullptr : data.data(),
                           static_cast<DWORD>(data.size())),
            ERROR_SUCCESS)
      << path << " " << name;
  RegCloseKey(key);
}

void SetString(HKEY root, const std::string& path, const std::string& name,
               const std::string& text) {
  SetValue(root, path, name, REG_SZ, Sz(text));
}

bool KeyExists(HKEY root, const std::string& path) {
  HKEY key = Open(root, path, KEY_READ);
  if (key) RegCloseKey(key);
  return key != nullptr;
}

std::vector<std::string> SubkeyNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  HKEY key = Open(root, path, KEY_READ);
  if (!key) return names;
  char name[1024];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  return names;
}

std::vector<std::string> ValueNames(HKEY root, const std::string& path) {
  std::vector<std::string> names;
  HKEY key = Open(root, path, KEY_READ);
  if (!key) return names;
  char name[17000];
  for (DWORD i = 0;; ++i) {
    DWORD length = sizeof name;
    if (RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    names.emplace_back(name, length);
  }
  RegCloseKey(key);
  std::sort(names.begin(), names.end());  // Windows and Wine differ in value order
  return names;
}

std::string Dump(HKEY root, const std::string& path) {
  std::ostringstream out;
  HKEY key = Open(root, path, KEY_READ);
  if (!key) return "<missing " + path + ">";
  out << "[" << path << "]\n";
  for (const std::string& name : ValueNames(root, path)) {
    DWORD type = 0, size = 0;
    RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
    Bytes data(size);
    RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &size);
    out << "  " << name << " type=" << type << " data=";
    for (BYTE b : data) out << std::hex << static_cast<int>(b) << ' ' << std::dec;
    out << "\n";
  }
  RegCloseKey(key);
  for (const std::string& sub : SubkeyNames(root, path)) out << Dump(root, path + "\\" + sub);
  return out.str();
}

void DeleteTree(HKEY root, const std::string& path) {
  const LSTATUS rc = RegDeleteTreeA(root, path.c_str());
  EXPECT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) << path << " " << rc;
}

void Seed(HKEY root, const std::string& base, const std::vector<KeySpec>& keys) {
  for (const KeySpec& key : keys) {
    const std::string path = key.path.empty() ? base : base + "\\" + key.path;
    CreateKey(root, path);
    for (const std::string& value : key.values) {
      const auto eq = value.find('=');
      SetString(root, path, value.substr(0, eq), value.substr(eq + 1));
    }
  }
}

}  // namespace testreg
