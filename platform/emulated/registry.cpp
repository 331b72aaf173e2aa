// The emulated registry: an in-memory tree of keys under the predefined roots.
//
// What it keeps to, because the tool or its tests rely on it:
// - key and value names compare without regard to case and are kept as written;
// - subkeys enumerate in sorted (case-folded) order, values in the order they were created;
// - value data is typed bytes; the 8-bit query of a string value that was stored without its
//   terminating NUL reports one byte more and delivers the NUL, as the 8-bit API of Windows does;
// - RegQueryInfoKeyA reports name lengths in UTF-16 code units, so on a double-byte code page an
//   8-bit name can need up to twice as many bytes as the reported length;
// - the 8-bit calls take a subkey path of at most 260 UTF-16 units (they convert it into a
//   fixed per-thread buffer); a longer one fails with ERROR_MORE_DATA;
// - a key with subkeys cannot be deleted (ERROR_ACCESS_DENIED); handles to a deleted key answer
//   ERROR_KEY_DELETED;
// - each key can refuse access rights (emu::SetKeyAccess), checked when it is opened, and every
//   handle only does what its granted rights allow.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/emulated/control.h"
#include "platform/emulated/machine.h"

namespace emu {
namespace {

constexpr REGSAM kSpecificAndStandard = 0x001F003F;
constexpr REGSAM kMaximumAllowed = 0x02000000;

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct Key {
  std::string name;  // as written
  std::string path;  // full path for the journal, e.g. "HKLM\SOFTWARE\A"
  std::map<std::string, std::shared_ptr<Key>> subkeys;  // by folded name: sorted enumeration
  std::vector<Value> values;                             // creation order
  REGSAM allowed = kSpecificAndStandard;
  bool deleted = false;
};

using SubkeyMap = std::map<std::string, std::shared_ptr<Key>>;

struct OpenHandle {
  std::shared_ptr<Key> key;
  REGSAM access = 0;
  // Where the last subkey enumeration through this handle stood, so that walking the indexes
  // one by one (up or down) costs a step each rather than a walk from the first subkey. Valid
  // while no key anywhere has gained or lost a subkey since (the registry's generation).
  std::uint64_t cursorGeneration = 0;
  DWORD cursorIndex = 0;
  SubkeyMap::iterator cursor;
};

struct RegistryState {
  std::map<LONG, std::shared_ptr<Key>> roots;
  std::map<HKEY, OpenHandle> handles;
  std::uintptr_t nextHandle = 0x1000;
  std::uint64_t generation = 1;  // advanced whenever any key gains or loses a subkey
};

RegistryState& State() {
  static RegistryState state;
  return state;
}

std::shared_ptr<Key> MakeRoot(const char* name) {
  auto key = std::make_shared<Key>();
  key->name = name;
  key->path = name;
  return key;
}

void InitRoots(RegistryState& state) {
  ++state.generation;
  state.roots.clear();
  state.roots[static_cast<LONG>(0x80000000)] = MakeRoot("HKCR");
  state.roots[static_cast<LONG>(0x80000001)] = MakeRoot("HKCU");
  state.roots[static_cast<LONG>(0x80000002)] = MakeRoot("HKLM");
  state.roots[static_cast<LONG>(0x80000003)] = MakeRoot("HKU");
}

bool IsPredefined(HKEY hKey) {
  const auto raw = reinterpret_cast<LONG_PTR>(hKey);
  return raw >= static_cast<LONG>(0x80000000) && raw <= static_cast<LONG>(0x80000003);
}

// The key behind a handle, and the rights the handle carries. Null when the handle is unknown.
std::shared_ptr<Key> Resolve(HKEY hKey, REGSAM* access) {
  auto& state = State();
  if (state.roots.empty()) InitRoots(state);
  if (IsPredefined(hKey)) {
    *access = kSpecificAndStandard;
    return state.roots[static_cast<LONG>(reinterpret_cast<LONG_PTR>(hKey))];
  }
  auto it = state.handles.find(hKey);
  if (it == state.handles.end()) return nullptr;
  *access = it->second.access;
  return it->second.key;
}

std::string PathOf(HKEY hKey) {
  REGSAM access = 0;
  auto key = Resolve(hKey, &access);
  return key ? key->path : std::string("<invalid handle>");
}

std::string SamText(REGSAM sam) {
  char text[32];
  std::snprintf(text, sizeof text, "sam=0x%X", static_cast<unsigned>(sam));
  return text;
}

std::string Text(LPCSTR text) { return text ? std::string(text) : std::string(); }

std::vector<std::string> SplitPath(const std::string& path, bool* ok) {
  std::vector<std::string> parts;
  *ok = true;
  std::string part;
  for (size_t i = 0; i < path.size(); ++i) {
    const char c = path[i];
    if (detail::IsLeadByte(static_cast<unsigned char>(c)) && i + 1 < path.size()) {
      part += c;
      part += path[++i];  // a trail byte is never a separator, whatever its value
    } else if (c == '\\') {
      if (part.empty()) *ok = false;
      parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);  // a trailing backslash is tolerated
  return parts;
}

std::shared_ptr<Key> Find(const std::shared_ptr<Key>& base, const std::string& subKey) {
  bool ok = true;
  auto parts = SplitPath(subKey, &ok);
  if (!ok) return nullptr;
  auto key = base;
  for (const auto& part : parts) {
    auto it = key->subkeys.find(detail::FoldCase(part));
    if (it == key->subkeys.end()) return nullptr;
    key = it->second;
  }
  return key;
}

constexpr std::size_t kLongestSubKeyPath = 260;

bool SubKeyTooLong(LPCSTR subKey) {
  return subKey && detail::WideLength(subKey) > kLongestSubKeyPath;
}

HKEY NewHandle(const std::shared_ptr<Key>& key, REGSAM access) {
  auto& state = State();
  HKEY handle = reinterpret_cast<HKEY>(state.nextHandle);
  state.nextHandle += 4;
  OpenHandle& open = state.handles[handle];
  open.key = key;
  open.access = access;
  return handle;
}

// The rights a request asks for, or false when it asks for more than the key grants.
bool Grant(const Key& key, REGSAM desired, REGSAM* granted) {
  desired &= ~static_cast<REGSAM>(KEY_WOW64_32KEY | KEY_WOW64_64KEY);
  if (desired & kMaximumAllowed) {
    *granted = key.allowed;
    return true;
  }
  if (desired & ~key.allowed & kSpecificAndStandard) return false;
  *granted = desired;
  return true;
}

Value* FindValue(Key& key, const std::string& name) {
  const std::string folded = detail::FoldCase(name);
  for (auto& value : key.values)
    if (detail::FoldCase(value.name) == folded) return &value;
  return nullptr;
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// What the 8-bit query delivers for a value: string data always ends in a NUL.
std::vector<BYTE> Delivered(const Value& value) {
  std::vector<BYTE> data = value.data;
  if (IsStringType(value.type) && !data.empty() && data.back() != 0) data.push_back(0);
  return data;
}

void MarkDeleted(Key& key) {
  ++State().generation;
  key.deleted = true;
  for (auto& [name, sub] : key.subkeys) MarkDeleted(*sub);
  key.subkeys.clear();
  key.values.clear();
}

// Looks up the handle for a call that needs `right`, and answers the usual errors.
LSTATUS Open(HKEY hKey, REGSAM right, std::shared_ptr<Key>* out) {
  REGSAM access = 0;
  auto key = Resolve(hKey, &access);
  if (!key) return ERROR_INVALID_HANDLE;
  if (key->deleted) return ERROR_KEY_DELETED;
  if (right && !(access & right)) return ERROR_ACCESS_DENIED;
  *out = key;
  return ERROR_SUCCESS;
}

// The subkey at `index` of the key open through `hKey` (index below the subkey count).
SubkeyMap::iterator SubkeyAt(HKEY hKey, Key& key, DWORD index) {
  auto& state = State();
  auto handle = state.handles.find(hKey);
  if (handle == state.handles.end()) {  // a predefined root: no cursor of its own
    auto it = key.subkeys.begin();
    std::advance(it, index);
    return it;
  }
  OpenHandle& open = handle->second;
  SubkeyMap::iterator it;
  if (open.cursorGeneration == state.generation && open.cursorIndex == index) {
    it = open.cursor;
  } else if (open.cursorGeneration == state.generation && open.cursorIndex + 1 == index) {
    it = std::next(open.cursor);
  } else if (open.cursorGeneration == state.generation && open.cursorIndex == index + 1) {
    it = std::prev(open.cursor);
  } else if (index == key.subkeys.size() - 1) {
    it = std::prev(key.subkeys.end());
  } else {
    it = key.subkeys.begin();
    std::advance(it, index);
  }
  open.cursorGeneration = state.generation;
  open.cursorIndex = index;
  open.cursor = it;
  return it;
}

LSTATUS CopyName(const std::string& name, LPSTR buffer, LPDWORD length) {
  if (!buffer || !length) return ERROR_INVALID_PARAMETER;
  if (*length <= name.size()) return ERROR_MORE_DATA;
  std::memcpy(buffer, name.c_str(), name.size() + 1);
  *length = static_cast<DWORD>(name.size());
  return ERROR_SUCCESS;
}

}  // namespace

namespace detail {
void ResetRegistry() {
  auto& state = State();
  state.handles.clear();
  state.nextHandle = 0x1000;
  InitRoots(state);
}
}  // namespace detail

int OpenRegistryHandles() { return static_cast<int>(State().handles.size()); }

namespace {

void PutText(std::ofstream& out, const std::string& text) {
  const auto size = static_cast<std::uint32_t>(text.size());
  out.write(reinterpret_cast<const char*>(&size), sizeof size);
  out.write(text.data(), size);
}

std::string GetText(std::ifstream& in) {
  std::uint32_t size = 0;
  in.read(reinterpret_cast<char*>(&size), sizeof size);
  std::string text(size, '\0');
  in.read(text.data(), size);
  return text;
}

void PutKey(std::ofstream& out, const Key& key) {
  PutText(out, key.name);
  out.write(reinterpret_cast<const char*>(&key.allowed), sizeof key.allowed);
  PutText(out, std::to_string(key.values.size()));
  for (const auto& value : key.values) {
    PutText(out, value.name);
    PutText(out, std::to_string(value.type));
    PutText(out, std::string(value.data.begin(), value.data.end()));
  }
  PutText(out, std::to_string(key.subkeys.size()));
  for (const auto& [folded, sub] : key.subkeys) PutKey(out, *sub);
}

std::shared_ptr<Key> GetKey(std::ifstream& in, const std::string& parentPath) {
  auto key = std::make_shared<Key>();
  key->name = GetText(in);
  key->path = parentPath.empty() ? key->name : parentPath + "\\" + key->name;
  in.read(reinterpret_cast<char*>(&key->allowed), sizeof key->allowed);
  const auto values = std::stoul(GetText(in));
  for (unsigned long i = 0; i < values; ++i) {
    Value value;
    value.name = GetText(in);
    value.type = static_cast<DWORD>(std::stoul(GetText(in)));
    const std::string data = GetText(in);
    value.data.assign(data.begin(), data.end());
    key->values.push_back(std::move(value));
  }
  const auto subkeys = std::stoul(GetText(in));
  for (unsigned long i = 0; i < subkeys; ++i) {
    auto sub = GetKey(in, key->path);
    key->subkeys[detail::FoldCase(sub->name)] = sub;
  }
  return key;
}

}  // namespace

void SaveRegistry(const std::string& hostFile) {
  auto& state = State();
  if (state.roots.empty()) InitRoots(state);
  std::ofstream out(hostFile, std::ios::binary | std::ios::trunc);
  for (const auto& [id, root] : state.roots) PutKey(out, *root);
}

void LoadRegistry(const std::string& hostFile) {
  auto& state = State();
  state.handles.clear();
  InitRoots(state);
  std::ifstream in(hostFile, std::ios::binary);
  for (auto& [id, root] : state.roots) root = GetKey(in, "");
}

void SetKeyAccess(HKEY root, const std::string& path, REGSAM allowed) {
  REGSAM access = 0;
  auto base = Resolve(root, &access);
  auto key = base ? Find(base, path) : nullptr;
  if (key) key->allowed = allowed;
}

}  // namespace emu

using emu::detail::Call;

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired,
                             PHKEY phkResult) {
  Call call("RegOpenKeyExA", emu::PathOf(hKey), emu::Text(lpSubKey), emu::SamText(samDesired));
  if (call.forced()) return call.done(call.forcedResult());
  if (emu::SubKeyTooLong(lpSubKey)) return call.done(ERROR_MORE_DATA);
  if (!phkResult) return call.done(ERROR_INVALID_PARAMETER);
  *phkResult = nullptr;
  std::shared_ptr<emu::Key> base;
  if (LSTATUS rc = emu::Open(hKey, 0, &base)) return call.done(rc);
  auto key = emu::Find(base, emu::Text(lpSubKey));
  if (!key) return call.done(ERROR_FILE_NOT_FOUND);
  REGSAM granted = 0;
  if (!emu::Grant(*key, samDesired, &granted)) return call.done(ERROR_ACCESS_DENIED);
  *phkResult = emu::NewHandle(key, granted);
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired,
                               const SECURITY_ATTRIBUTES*, PHKEY phkResult,
                               LPDWORD lpdwDisposition) {
  Call call("RegCreateKeyExA", emu::PathOf(hKey), emu::Text(lpSubKey));
  if (call.forced()) return call.done(call.forcedResult());
  if (emu::SubKeyTooLong(lpSubKey)) return call.done(ERROR_MORE_DATA);
  if (!phkResult) return call.done(ERROR_INVALID_PARAMETER);
  *phkResult = nullptr;
  std::shared_ptr<emu::Key> key;
  if (LSTATUS rc = emu::Open(hKey, 0, &key)) return call.done(rc);
  bool ok = true;
  auto parts = emu::SplitPath(emu::Text(lpSubKey), &ok);
  if (!ok) return call.done(ERROR_INVALID_PARAMETER);
  DWORD disposition = REG_OPENED_EXISTING_KEY;
  for (const auto& part : parts) {
    auto& slot = key->subkeys[emu::detail::FoldCase(part)];
    if (!slot) {
      ++emu::State().generation;
      slot = std::make_shared<emu::Key>();
      slot->name = part;
      slot->path = key->path + "\\" + part;
      disposition = REG_CREATED_NEW_KEY;
    }
    key = slot;
  }
  REGSAM granted = 0;
  if (!emu::Grant(*key, samDesired, &granted)) return call.done(ERROR_ACCESS_DENIED);
  *phkResult = emu::NewHandle(key, granted);
  if (lpdwDisposition) *lpdwDisposition = disposition;
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
  Call call("RegCloseKey", emu::PathOf(hKey));
  if (call.forced()) return call.done(call.forcedResult());
  if (emu::IsPredefined(hKey)) return call.done(ERROR_SUCCESS);
  auto& handles = emu::State().handles;
  auto it = handles.find(hKey);
  if (it == handles.end()) return call.done(ERROR_INVALID_HANDLE);
  handles.erase(it);
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType,
                                LPBYTE lpData, LPDWORD lpcbData) {
  Call call("RegQueryValueExA", emu::PathOf(hKey), emu::Text(lpValueName));
  if (call.forced()) return call.done(call.forcedResult());
  if (lpReserved || (lpData && !lpcbData)) return call.done(ERROR_INVALID_PARAMETER);
  std::shared_ptr<emu::Key> key;
  if (LSTATUS rc = emu::Open(hKey, KEY_QUERY_VALUE, &key)) return call.done(rc);
  emu::Value* value = emu::FindValue(*key, emu::Text(lpValueName));
  if (!value) return call.done(ERROR_FILE_NOT_FOUND);
  const std::vector<BYTE> data = emu::Delivered(*value);
  if (lpType) *lpType = value->type;
  if (!lpcbData) return call.done(ERROR_SUCCESS);
  const DWORD room = *lpcbData;
  *lpcbData = static_cast<DWORD>(data.size());
  if (!lpData) return call.done(ERROR_SUCCESS);
  if (room < data.size()) return call.done(ERROR_MORE_DATA);
  if (!data.empty()) std::memcpy(lpData, data.data(), data.size());
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType,
                              const BYTE* lpData, DWORD cbData) {
  Call call("RegSetValueExA", emu::PathOf(hKey), emu::Text(lpValueName));
  if (call.forced()) return call.done(call.forcedResult());
  if (!lpData && cbData) return call.done(ERROR_INVALID_PARAMETER);
  std::shared_ptr<emu::Key> key;
  if (LSTATUS rc = emu::Open(hKey, KEY_SET_VALUE, &key)) return call.done(rc);
  std::vector<BYTE> data(lpData, lpData + cbData);
  if (emu::Value* value = emu::FindValue(*key, emu::Text(lpValueName))) {
    value->type = dwType;
    value->data = std::move(data);
  } else {
    key->values.push_back(emu::Value{emu::Text(lpValueName), dwType, std::move(data)});
  }
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved,
                                LPDWORD lpcSubKeys, LPDWORD lpcbMaxSubKeyLen,
                                LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                                LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen,
                                LPDWORD lpcbSecurityDescriptor, PFILETIME lpftLastWriteTime) {
  Call call("RegQueryInfoKeyA", emu::PathOf(hKey));
  if (call.forced()) return call.done(call.forcedResult());
  if (lpReserved || (lpClass && !lpcchClass)) return call.done(ERROR_INVALID_PARAMETER);
  std::shared_ptr<emu::Key> key;
  if (LSTATUS rc = emu::Open(hKey, KEY_QUERY_VALUE, &key)) return call.done(rc);
  DWORD maxSubKey = 0, maxValueName = 0, maxValueData = 0;
  for (const auto& [folded, sub] : key->subkeys)
    maxSubKey = std::max<DWORD>(maxSubKey, emu::detail::WideLength(sub->name));
  for (const auto& value : key->values) {
    maxValueName = std::max<DWORD>(maxValueName, emu::detail::WideLength(value.name));
    maxValueData = std::max<DWORD>(maxValueData, emu::Delivered(value).size());
  }
  if (lpClass) {
    if (*lpcchClass < 1) return call.done(ERROR_MORE_DATA);
    lpClass[0] = '\0';
  }
  if (lpcchClass) *lpcchClass = 0;
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key->subkeys.size());
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = 0;
  if (lpcValues) *lpcValues = static_cast<DWORD>(key->values.size());
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxValueName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxValueData;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 20;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName,
                             LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  Call call("RegEnumValueA", emu::PathOf(hKey), "#" + std::to_string(dwIndex));
  if (call.forced()) return call.done(call.forcedResult());
  if (lpReserved || (lpData && !lpcbData)) return call.done(ERROR_INVALID_PARAMETER);
  std::shared_ptr<emu::Key> key;
  if (LSTATUS rc = emu::Open(hKey, KEY_QUERY_VALUE, &key)) return call.done(rc);
  if (dwIndex >= key->values.size()) return call.done(ERROR_NO_MORE_ITEMS);
  const emu::Value& value = key->values[dwIndex];
  if (LSTATUS rc = emu::CopyName(value.name, lpValueName, lpcchValueName)) return call.done(rc);
  if (lpType) *lpType = value.type;
  if (lpcbData) {
    const std::vector<BYTE> data = emu::Delivered(value);
    const DWORD room = *lpcbData;
    *lpcbData = static_cast<DWORD>(data.size());
    if (lpData) {
      if (room < data.size()) return call.done(ERROR_MORE_DATA);
      if (!data.empty()) std::memcpy(lpData, data.data(), data.size());
    }
  }
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName,
                             LPDWORD lpReserved, LPSTR lpClass, LPDWORD lpcchClass,
                             PFILETIME lpftLastWriteTime) {
  Call call("RegEnumKeyExA", emu::PathOf(hKey), "#" + std::to_string(dwIndex));
  if (call.forced()) return call.done(call.forcedResult());
  if (lpReserved || (lpClass && !lpcchClass)) return call.done(ERROR_INVALID_PARAMETER);
  std::shared_ptr<emu::Key> key;
  if (LSTATUS rc = emu::Open(hKey, KEY_ENUMERATE_SUB_KEYS, &key)) return call.done(rc);
  if (dwIndex >= key->subkeys.size()) return call.done(ERROR_NO_MORE_ITEMS);
  const auto it = emu::SubkeyAt(hKey, *key, dwIndex);
  if (LSTATUS rc = emu::CopyName(it->second->name, lpName, lpcchName)) return call.done(rc);
  if (lpClass) {
    if (*lpcchClass < 1) return call.done(ERROR_MORE_DATA);
    lpClass[0] = '\0';
    *lpcchClass = 0;
  }
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  Call call("RegDeleteValueA", emu::PathOf(hKey), emu::Text(lpValueName));
  if (call.forced()) return call.done(call.forcedResult());
  std::shared_ptr<emu::Key> key;
  if (LSTATUS rc = emu::Open(hKey, KEY_SET_VALUE, &key)) return call.done(rc);
  const std::string folded = emu::detail::FoldCase(emu::Text(lpValueName));
  auto& values = key->values;
  auto it = std::find_if(values.begin(), values.end(), [&](const emu::Value& v) {
    return emu::detail::FoldCase(v.name) == folded;
  });
  if (it == values.end()) return call.done(ERROR_FILE_NOT_FOUND);
  values.erase(it);
  return call.done(ERROR_SUCCESS);
}

namespace emu {
namespace {
// Finds the parent of `subKey` below `base` and the folded name of the last part.
std::shared_ptr<Key> ParentOf(const std::shared_ptr<Key>& base, const std::string& subKey,
                              std::string* leaf) {
  bool ok = true;
  auto parts = SplitPath(subKey, &ok);
  if (!ok || parts.empty()) return nullptr;
  *leaf = detail::FoldCase(parts.back());
  parts.pop_back();
  auto parent = base;
  for (const auto& part : parts) {
    auto it = parent->subkeys.find(detail::FoldCase(part));
    if (it == parent->subkeys.end()) return nullptr;
    parent = it->second;
  }
  return parent;
}
}  // namespace
}  // namespace emu

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  Call call("RegDeleteKeyA", emu::PathOf(hKey), emu::Text(lpSubKey));
  if (call.forced()) return call.done(call.forcedResult());
  if (emu::SubKeyTooLong(lpSubKey)) return call.done(ERROR_MORE_DATA);
  std::shared_ptr<emu::Key> base;
  if (LSTATUS rc = emu::Open(hKey, 0, &base)) return call.done(rc);
  std::string leaf;
  auto parent = emu::ParentOf(base, emu::Text(lpSubKey), &leaf);
  if (!parent) return call.done(emu::Text(lpSubKey).empty() ? ERROR_ACCESS_DENIED
                                                            : ERROR_FILE_NOT_FOUND);
  auto it = parent->subkeys.find(leaf);
  if (it == parent->subkeys.end()) return call.done(ERROR_FILE_NOT_FOUND);
  emu::Key& key = *it->second;
  if (!(key.allowed & DELETE) || !key.subkeys.empty()) return call.done(ERROR_ACCESS_DENIED);
  emu::MarkDeleted(key);
  parent->subkeys.erase(it);
  return call.done(ERROR_SUCCESS);
}

LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
  Call call("RegDeleteTreeA", emu::PathOf(hKey), emu::Text(lpSubKey));
  if (call.forced()) return call.done(call.forcedResult());
  if (emu::SubKeyTooLong(lpSubKey)) return call.done(ERROR_MORE_DATA);
  std::shared_ptr<emu::Key> base;
  if (LSTATUS rc = emu::Open(hKey, 0, &base)) return call.done(rc);
  if (emu::Text(lpSubKey).empty()) {
    // Without a subkey the key itself stays; everything in it goes.
    for (auto& [name, sub] : base->subkeys) emu::MarkDeleted(*sub);
    base->subkeys.clear();
    base->values.clear();
    return call.done(ERROR_SUCCESS);
  }
  std::string leaf;
  auto parent = emu::ParentOf(base, emu::Text(lpSubKey), &leaf);
  auto it = parent ? parent->subkeys.find(leaf) : decltype(parent->subkeys.end()){};
  if (!parent || it == parent->subkeys.end()) return call.done(ERROR_FILE_NOT_FOUND);
  emu::MarkDeleted(*it->second);
  parent->subkeys.erase(it);
  return call.done(ERROR_SUCCESS);
}
