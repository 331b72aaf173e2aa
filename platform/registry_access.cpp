#include "platform/registry_access.h"

#include <cstring>
#include <vector>

namespace {

AnsiString WithoutLeadingBackslash(AnsiString key) {
  if (!key.empty() && key[0] == '\\') key.erase(0, 1);
  return key;
}

// The 8-bit API reports name lengths in UTF-16 units; on a double-byte ANSI code page one unit
// can take two bytes, so the name buffers are sized for twice the reported length.
bool AnsiIsDoubleByte() {
  CPINFO info{};
  return GetCPInfo(CP_ACP, &info) && info.MaxCharSize > 1;
}

DWORD NameBufferSize(DWORD longestName) {
  return (AnsiIsDoubleByte() ? longestName * 2 : longestName) + 1;
}

// Deletes `name` below `base` after deleting, highest index first, whatever subkeys it has.
bool DeleteKeyBelow(HKEY base, const AnsiString& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(base, name.c_str(), 0, KEY_ALL_ACCESS, &opened) == ERROR_SUCCESS) {
    UniqueHkey key(opened);
    DWORD subkeys = 0, longest = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, &longest, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
      const DWORD size = NameBufferSize(longest);
      std::vector<char> buffer(size);
      for (DWORD index = subkeys; index-- > 0;) {
        DWORD length = size;
        if (RegEnumKeyExA(key.get(), index, buffer.data(), &length, nullptr, nullptr, nullptr,
                          nullptr) == ERROR_SUCCESS)
          DeleteKeyBelow(key.get(), AnsiString(buffer.data(), strnlen(buffer.data(), size)));
      }
    }
  }
  return RegDeleteKeyA(base, name.c_str()) == ERROR_SUCCESS;
}

}  // namespace

void TRegistry::SetRootKey(HKEY root) {
  CloseKey();
  root_ = root;
}

bool TRegistry::OpenKey(AnsiString key) {
  CloseKey();
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root_, WithoutLeadingBackslash(key).c_str(), 0, access_, &opened) !=
      ERROR_SUCCESS)
    return false;
  current_.reset(opened);
  return true;
}

bool TRegistry::OpenKeyReadOnly(AnsiString key) {
  CloseKey();
  const AnsiString path = WithoutLeadingBackslash(key);
  static const REGSAM kMasks[] = {KEY_READ, STANDARD_RIGHTS_READ | KEY_QUERY_VALUE |
                                                KEY_ENUMERATE_SUB_KEYS,
                                  KEY_QUERY_VALUE};
  for (REGSAM mask : kMasks) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root_, path.c_str(), 0, mask, &opened) == ERROR_SUCCESS) {
      current_.reset(opened);
      access_ = mask;
      return true;
    }
  }
  return false;
}

AnsiString TRegistry::ReadString(const AnsiString& name) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  if (RegQueryValueExA(current_.get(), name.c_str(), nullptr, &type, nullptr, &size) !=
          ERROR_SUCCESS ||
      size == 0)
    return AnsiString();
  std::vector<BYTE> data(size);
  type = REG_NONE;
  DWORD fetched = size;
  if (RegQueryValueExA(current_.get(), name.c_str(), nullptr, &type, data.data(), &fetched) !=
      ERROR_SUCCESS)
    throw ERegistryException("Failed to get data for '" + name + "'");
  if (type != REG_SZ && type != REG_EXPAND_SZ)
    throw ERegistryException("Invalid data type for '" + name + "'");
  // A successful fetch never reports more than the buffer holds; trust that no further.
  const std::size_t held = fetched < size ? fetched : size;
  const char* text = reinterpret_cast<const char*>(data.data());
  return AnsiString(text, strnlen(text, held));
}

void TRegistry::ListNames(Names kind, TStringList& strings) {
  strings.Clear();
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestValue = 0;
  if (RegQueryInfoKeyA(current_.get(), nullptr, nullptr, nullptr, &subkeys, &longestSubkey,
                       nullptr, &values, &longestValue, nullptr, nullptr, nullptr) !=
      ERROR_SUCCESS)
    return;
  const bool listValues = kind == Names::Values;
  const DWORD count = listValues ? values : subkeys;
  const DWORD size = NameBufferSize(listValues ? longestValue : longestSubkey);
  std::vector<char> buffer(size);
  for (DWORD index = 0; index < count; ++index) {
    DWORD length = size;
    const LSTATUS rc =
        listValues ? RegEnumValueA(current_.get(), index, buffer.data(), &length, nullptr,
                                   nullptr, nullptr, nullptr)
                   : RegEnumKeyExA(current_.get(), index, buffer.data(), &length, nullptr,
                                   nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) strings.Add(AnsiString(buffer.data(), strnlen(buffer.data(), size)));
  }
}

void TRegistry::GetValueNames(TStringList& strings) { ListNames(Names::Values, strings); }

void TRegistry::GetKeyNames(TStringList& strings) { ListNames(Names::Subkeys, strings); }

bool TRegistry::DeleteValue(const AnsiString& name) {
  return RegDeleteValueA(current_.get(), name.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::DeleteKey(AnsiString key) {
  key = WithoutLeadingBackslash(key);
  if (key.empty()) return false;  // would name the base key itself
  const HKEY base = current_ ? current_.get() : root_;
  return DeleteKeyBelow(base, key);
}
