// The emulated shell namespace: the task allocator, special folders, the desktop folder and
// file-system folders with their enumerators and display names.
//
// Item ID lists are our own: one item of the form [cb][tag][payload] and a zero terminator.
// A folder's absolute list carries its Windows path; an item's child list carries the item's
// file name, its in-folder display name and its parsing name, all 8-bit, so that STRRET_OFFSET
// can point into it.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>
#include <vector>

#include "platform/emulated/control.h"
#include "platform/emulated/machine.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IMalloc = {0x00000002, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellFolder = {0x000214E6, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IEnumIDList = {0x000214F2, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IShellLinkA = {0x000214EE, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersist = {0x0000010C, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const IID IID_IPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const CLSID CLSID_ShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace emu {
namespace {

struct SpecialFolder {
  std::string path;
  bool fileSystem = true;
};

struct ShellState {
  std::map<int, SpecialFolder> specialFolders;
  UINT strretKind = STRRET_WSTR;
  std::map<void*, std::size_t> taskBlocks;
  std::set<void*> localBlocks;
  std::map<DWORD, std::string> messages;
  std::map<std::pair<std::string, bool>, std::string> displayNames;
  int liveObjects = 0;
  int foreignFrees = 0;
};

ShellState& State() {
  static ShellState state;
  return state;
}

std::map<DWORD, std::string> BuiltInMessages() {
  return {{0, "The operation completed successfully.\r\n"},
          {2, "The system cannot find the file specified.\r\n"},
          {3, "The system cannot find the path specified.\r\n"},
          {5, "Access is denied.\r\n"},
          {8, "Not enough memory resources are available to process this command.\r\n"},
          {87, "The parameter is incorrect.\r\n"},
          {1008, "An attempt was made to reference a token that does not exist.\r\n"}};
}

constexpr BYTE kFolderTag = 'F';
constexpr BYTE kItemTag = 'I';

// Builds a one-item list: [cb][tag][strings, each with its NUL][0 0].
LPITEMIDLIST NewIdList(BYTE tag, const std::vector<std::string>& strings) {
  std::vector<BYTE> item;
  item.push_back(0);
  item.push_back(0);
  item.push_back(tag);
  for (const auto& text : strings) {
    item.insert(item.end(), text.begin(), text.end());
    item.push_back(0);
  }
  const auto cb = static_cast<USHORT>(item.size());
  std::memcpy(item.data(), &cb, 2);
  item.push_back(0);
  item.push_back(0);
  void* block = detail::TaskAlloc(item.size());
  std::memcpy(block, item.data(), item.size());
  return static_cast<LPITEMIDLIST>(block);
}

// The strings of a one-item list of the given tag, with their offsets from the list's start.
bool ReadIdList(LPCITEMIDLIST list, BYTE tag, std::vector<std::pair<std::string, UINT>>* out) {
  if (!list) return false;
  const auto* bytes = reinterpret_cast<const BYTE*>(list);
  USHORT cb = 0;
  std::memcpy(&cb, bytes, 2);
  if (cb < 3 || bytes[2] != tag) return false;
  for (UINT at = 3; at < cb;) {
    const char* text = reinterpret_cast<const char*>(bytes + at);
    const std::size_t length = strnlen(text, cb - at);
    out->emplace_back(std::string(text, length), at);
    at += static_cast<UINT>(length) + 1;
  }
  return true;
}

HRESULT FillStrret(STRRET* name, LPCITEMIDLIST item, const std::string& text, UINT offset) {
  const UINT kind = State().strretKind;
  if (kind == STRRET_OFFSET && item) {
    name->uType = STRRET_OFFSET;
    name->uOffset = offset;
    return S_OK;
  }
  if (kind != STRRET_WSTR && kind != STRRET_OFFSET && kind != STRRET_CSTR) {
    name->uType = kind;  // a kind no caller knows: nothing to take out of it
    return S_OK;
  }
  if (kind == STRRET_CSTR && text.size() < MAX_PATH) {
    name->uType = STRRET_CSTR;
    std::memcpy(name->cStr, text.c_str(), text.size() + 1);
    return S_OK;
  }
  const std::u16string wide = detail::AnsiToWide(text);
  auto* copy = static_cast<WCHAR*>(detail::TaskAlloc((wide.size() + 1) * sizeof(WCHAR)));
  std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
  name->uType = STRRET_WSTR;
  name->pOleStr = copy;
  return S_OK;
}

// The shell's display name of a file in a folder: shortcuts lose their extension.
std::string DisplayNameOf(const std::string& fileName) {
  const std::string folded = detail::FoldCase(fileName);
  if (folded.size() > 4 && folded.compare(folded.size() - 4, 4, ".LNK") == 0)
    return fileName.substr(0, fileName.size() - 4);
  return fileName;
}

class Malloc : public IMalloc, public detail::ComObject {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IMalloc) return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IMalloc*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }
  ULONG STDMETHODCALLTYPE Release() override {
    detail::Call call("IMalloc::Release", "");
    return ReleaseCount();
  }
  void* STDMETHODCALLTYPE Alloc(SIZE_T cb) override { return detail::TaskAlloc(cb); }
  void* STDMETHODCALLTYPE Realloc(void*, SIZE_T) override { return nullptr; }
  void STDMETHODCALLTYPE Free(void* pv) override {
    detail::Call call("IMalloc::Free", "");
    if (!call.forced()) detail::TaskFree(pv);
  }
  SIZE_T STDMETHODCALLTYPE GetSize(void* pv) override {
    auto it = State().taskBlocks.find(pv);
    return it == State().taskBlocks.end() ? static_cast<SIZE_T>(-1) : it->second;
  }
  int STDMETHODCALLTYPE DidAlloc(void* pv) override { return State().taskBlocks.count(pv) ? 1 : 0; }
  void STDMETHODCALLTYPE HeapMinimize() override {}
};

class Enumerator : public IEnumIDList, public detail::ComObject {
 public:
  Enumerator(std::string folder, std::vector<std::string> names)
      : folder_(std::move(folder)), names_(std::move(names)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IEnumIDList) return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IEnumIDList*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }
  ULONG STDMETHODCALLTYPE Release() override {
    detail::Call call("IEnumIDList::Release", folder_);
    return ReleaseCount();
  }
  HRESULT STDMETHODCALLTYPE Next(ULONG celt, PITEMID_CHILD* rgelt, ULONG* fetched) override {
    detail::Call call("IEnumIDList::Next", folder_);
    if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
    if (!detail::ComIsOpen()) return static_cast<HRESULT>(call.done(CO_E_NOTINITIALIZED));
    if (!rgelt || (celt > 1 && !fetched)) return static_cast<HRESULT>(call.done(E_INVALIDARG));
    ULONG count = 0;
    for (; count < celt && next_ < names_.size(); ++count, ++next_) {
      const std::string& name = names_[next_];
      const std::string parsing =
          folder_ + (folder_.empty() || folder_.back() == '\\' ? "" : "\\") + name;
      rgelt[count] = NewIdList(kItemTag, {name, DisplayNameOf(name), parsing});
    }
    if (fetched) *fetched = count;
    return static_cast<HRESULT>(call.done(count == celt ? S_OK : S_FALSE));
  }
  HRESULT STDMETHODCALLTYPE Skip(ULONG celt) override {
    next_ = std::min<std::size_t>(names_.size(), next_ + celt);
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Reset() override {
    next_ = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Clone(IEnumIDList**) override { return E_NOTIMPL; }

 private:
  std::string folder_;
  std::vector<std::string> names_;
  std::size_t next_ = 0;
};

// A folder of the namespace: the desktop (the root, which binds to folders by their lists) or
// a file-system folder.
class Folder : public IShellFolder, public detail::ComObject {
 public:
  explicit Folder(std::string path, bool root) : path_(std::move(path)), root_(root) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IShellFolder) return E_NOINTERFACE;
    AddRef();
    *ppv = static_cast<IShellFolder*>(this);
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefCount(); }
  ULONG STDMETHODCALLTYPE Release() override {
    detail::Call call("IShellFolder::Release", path_);
    return ReleaseCount();
  }
  HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, PIDLIST_ABSOLUTE*,
                                             ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF flags, IEnumIDList** out) override {
    detail::Call call("IShellFolder::EnumObjects", path_, "", "flags=" + std::to_string(flags));
    if (!out) return static_cast<HRESULT>(call.done(E_POINTER));
    *out = nullptr;
    if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
    if (!detail::ComIsOpen()) return static_cast<HRESULT>(call.done(CO_E_NOTINITIALIZED));
    if (root_) return static_cast<HRESULT>(call.done(E_NOTIMPL));
    const std::string host = HostPath(path_);
    DIR* dir = host.empty() ? nullptr : opendir(host.c_str());
    if (!dir) return static_cast<HRESULT>(call.done(HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)));
    // A file system lists its entries in name order, without regard to case: each name is
    // sorted by its folded form, made once.
    std::vector<std::pair<std::string, std::string>> entries;  // folded name, name
    while (dirent* entry = readdir(dir)) {
      const std::string hostName = entry->d_name;
      if (hostName == "." || hostName == "..") continue;
      if (hostName[0] == '.' && !(flags & SHCONTF_INCLUDEHIDDEN)) continue;
      struct stat st;
      const bool isFolder = stat((host + "/" + hostName).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
      if (isFolder ? !(flags & SHCONTF_FOLDERS) : !(flags & SHCONTF_NONFOLDERS)) continue;
      std::string name = detail::Utf8ToAnsi(hostName);
      std::string folded = detail::FoldCase(name);
      entries.emplace_back(std::move(folded), std::move(name));
    }
    closedir(dir);
    std::sort(entries.begin(), entries.end());
    std::vector<std::string> names;
    names.reserve(entries.size());
    for (auto& entry : entries) names.push_back(std::move(entry.second));
    *out = new Enumerator(path_, std::move(names));
    return static_cast<HRESULT>(call.done(S_OK));
  }
  HRESULT STDMETHODCALLTYPE BindToObject(PCUIDLIST_RELATIVE pidl, IBindCtx*, REFIID riid,
                                         void** ppv) override {
    detail::Call call("IShellFolder::BindToObject", path_);
    if (!ppv) return static_cast<HRESULT>(call.done(E_POINTER));
    *ppv = nullptr;
    if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
    if (!detail::ComIsOpen()) return static_cast<HRESULT>(call.done(CO_E_NOTINITIALIZED));
    std::vector<std::pair<std::string, UINT>> strings;
    if (!root_ || !ReadIdList(pidl, kFolderTag, &strings) || strings.empty())
      return static_cast<HRESULT>(call.done(E_INVALIDARG));
    if (riid != IID_IShellFolder) return static_cast<HRESULT>(call.done(E_NOINTERFACE));
    *ppv = static_cast<IShellFolder*>(new Folder(strings[0].first, false));
    return static_cast<HRESULT>(call.done(S_OK));
  }
  HRESULT STDMETHODCALLTYPE BindToStorage(PCUIDLIST_RELATIVE, IBindCtx*, REFIID, void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, PCUIDLIST_RELATIVE, PCUIDLIST_RELATIVE) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, PCUITEMID_CHILD*, ULONG*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, PCUITEMID_CHILD*, REFIID, UINT*,
                                          void**) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE GetDisplayNameOf(PCUITEMID_CHILD pidl, SHGDNF flags,
                                             STRRET* name) override {
    std::vector<std::pair<std::string, UINT>> strings;
    const bool ours = ReadIdList(pidl, kItemTag, &strings) && strings.size() == 3;
    detail::Call call("IShellFolder::GetDisplayNameOf", path_, ours ? strings[0].first : "",
                      "flags=" + std::to_string(flags));
    if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
    if (!detail::ComIsOpen()) return static_cast<HRESULT>(call.done(CO_E_NOTINITIALIZED));
    if (!name || !ours) return static_cast<HRESULT>(call.done(E_INVALIDARG));
    const bool parsing = (flags & SHGDN_FORPARSING) != 0;
    const auto& chosen = parsing ? strings[2] : strings[1];
    auto& overrides = State().displayNames;
    auto it = overrides.find({strings[0].first, parsing});
    if (it != overrides.end())  // not inside the ID list, so never by offset
      return static_cast<HRESULT>(call.done(FillStrret(name, nullptr, it->second, 0)));
    return static_cast<HRESULT>(call.done(FillStrret(name, pidl, chosen.first, chosen.second)));
  }
  HRESULT STDMETHODCALLTYPE SetNameOf(HWND, PCUITEMID_CHILD, LPCWSTR, SHGDNF,
                                      PITEMID_CHILD*) override {
    return E_NOTIMPL;
  }

 private:
  std::string path_;
  bool root_;
};

}  // namespace

namespace detail {

ComObject::ComObject() { ++State().liveObjects; }
ComObject::~ComObject() { --State().liveObjects; }

void* TaskAlloc(std::size_t size) {
  void* block = std::malloc(size ? size : 1);
  State().taskBlocks[block] = size;
  return block;
}

void TaskFree(void* block) {
  if (!block) return;
  auto& blocks = State().taskBlocks;
  auto it = blocks.find(block);
  if (it == blocks.end()) {
    ++State().foreignFrees;
    return;
  }
  blocks.erase(it);
  std::free(block);
}

void ResetShell() {
  auto& state = State();
  for (auto& [block, size] : state.taskBlocks) std::free(block);
  for (void* block : state.localBlocks) std::free(block);
  const int live = state.liveObjects;  // objects a failed test leaked are not ours to free
  state = ShellState{};
  state.liveObjects = live;
  state.messages = BuiltInMessages();
}

}  // namespace detail

void SetSpecialFolder(int csidl, const std::string& windowsPath, bool fileSystem) {
  State().specialFolders[csidl] = SpecialFolder{windowsPath, fileSystem};
}
void SetStrretKind(UINT kind) { State().strretKind = kind; }
void OverrideDisplayName(const std::string& fileName, bool parsing, const std::string& text) {
  State().displayNames[{fileName, parsing}] = text;
}
void SetSystemMessage(DWORD code, const std::string& text) { State().messages[code] = text; }
int LiveComObjects() { return State().liveObjects; }
int OutstandingTaskAllocations() { return static_cast<int>(State().taskBlocks.size()); }
int OutstandingLocalAllocations() { return static_cast<int>(State().localBlocks.size()); }
int ForeignFrees() { return State().foreignFrees; }

}  // namespace emu

using emu::detail::Call;

void* WINAPI CoTaskMemAlloc(SIZE_T cb) { return emu::detail::TaskAlloc(cb); }

void WINAPI CoTaskMemFree(LPVOID pv) {
  Call call("CoTaskMemFree", "");
  emu::detail::TaskFree(pv);
}

HRESULT WINAPI SHGetMalloc(IMalloc** ppMalloc) {
  Call call("SHGetMalloc", "");
  if (!ppMalloc) return static_cast<HRESULT>(call.done(E_INVALIDARG));
  *ppMalloc = nullptr;
  if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
  *ppMalloc = new emu::Malloc();
  return static_cast<HRESULT>(call.done(S_OK));
}

HRESULT WINAPI SHGetSpecialFolderLocation(HWND, int csidl, PIDLIST_ABSOLUTE* ppidl) {
  Call call("SHGetSpecialFolderLocation", "", std::to_string(csidl));
  if (!ppidl) return static_cast<HRESULT>(call.done(E_INVALIDARG));
  *ppidl = nullptr;
  if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
  auto& folders = emu::State().specialFolders;
  auto it = folders.find(csidl);
  if (it == folders.end() || it->second.path.empty())
    return static_cast<HRESULT>(call.done(E_INVALIDARG));
  *ppidl = emu::NewIdList(emu::kFolderTag, {it->second.path, it->second.fileSystem ? "fs" : ""});
  return static_cast<HRESULT>(call.done(S_OK));
}

BOOL WINAPI SHGetPathFromIDListA(PCIDLIST_ABSOLUTE pidl, LPSTR pszPath) {
  Call call("SHGetPathFromIDListA", "");
  if (call.forced()) {
    if (pszPath) pszPath[0] = '\0';
    return static_cast<BOOL>(call.done(call.forcedResult()));
  }
  std::vector<std::pair<std::string, UINT>> strings;
  if (!pszPath) return static_cast<BOOL>(call.done(FALSE));
  pszPath[0] = '\0';
  if (!emu::ReadIdList(pidl, emu::kFolderTag, &strings) || strings.size() < 2 ||
      strings[1].first != "fs" || strings[0].first.size() >= MAX_PATH)
    return static_cast<BOOL>(call.done(FALSE));
  std::memcpy(pszPath, strings[0].first.c_str(), strings[0].first.size() + 1);
  return static_cast<BOOL>(call.done(TRUE));
}

HRESULT WINAPI SHGetDesktopFolder(IShellFolder** ppshf) {
  Call call("SHGetDesktopFolder", "");
  if (!ppshf) return static_cast<HRESULT>(call.done(E_INVALIDARG));
  *ppshf = nullptr;
  if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
  *ppshf = new emu::Folder("", true);
  return static_cast<HRESULT>(call.done(S_OK));
}

HRESULT WINAPI CoCreateInstance(REFCLSID rclsid, LPUNKNOWN pUnkOuter, DWORD dwClsContext,
                                REFIID riid, LPVOID* ppv) {
  Call call("CoCreateInstance", "");
  if (!ppv) return static_cast<HRESULT>(call.done(E_POINTER));
  *ppv = nullptr;
  if (call.forced()) return static_cast<HRESULT>(call.done(call.forcedResult()));
  if (!emu::detail::ComIsOpen()) return static_cast<HRESULT>(call.done(CO_E_NOTINITIALIZED));
  if (pUnkOuter) return static_cast<HRESULT>(call.done(static_cast<HRESULT>(0x80040110L)));
  if (rclsid != CLSID_ShellLink || !(dwClsContext & CLSCTX_INPROC_SERVER))
    return static_cast<HRESULT>(call.done(static_cast<HRESULT>(0x80040154L)));  // not registered
  IShellLinkA* link = emu::detail::NewShellLink();
  HRESULT hr = E_FAIL;
  try {
    hr = link->QueryInterface(riid, ppv);
  } catch (...) {
    link->Release();
    throw;
  }
  link->Release();
  return static_cast<HRESULT>(call.done(hr));
}

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD, LPSTR lpBuffer,
                            DWORD nSize, void*) {
  Call call("FormatMessageA", "", std::to_string(dwMessageId));
  if (call.forced()) return static_cast<DWORD>(call.done(call.forcedResult()));
  auto& messages = emu::State().messages;
  auto it = messages.find(dwMessageId);
  if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) || it == messages.end() || !lpBuffer) {
    SetLastError(317);  // ERROR_MR_MID_NOT_FOUND
    return static_cast<DWORD>(call.done(0));
  }
  const std::string& text = it->second;
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    char* block = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(block, text.c_str(), text.size() + 1);
    emu::State().localBlocks.insert(block);
    *reinterpret_cast<char**>(lpBuffer) = block;
  } else {
    if (nSize <= text.size()) {
      SetLastError(ERROR_INSUFFICIENT_BUFFER);
      return static_cast<DWORD>(call.done(0));
    }
    std::memcpy(lpBuffer, text.c_str(), text.size() + 1);
  }
  return static_cast<DWORD>(call.done(static_cast<long>(text.size())));
}

HLOCAL WINAPI LocalFree(HLOCAL hMem) {
  Call call("LocalFree", "");
  if (!hMem) return nullptr;
  auto& blocks = emu::State().localBlocks;
  if (!blocks.erase(hMem)) {
    ++emu::State().foreignFrees;
    return hMem;
  }
  std::free(hMem);
  return nullptr;
}

int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  Call call("wsprintfA", "", lpFmt ? lpFmt : "");
  // The real call writes at most 1024 characters and its terminator.
  char text[1025];
  va_list args;
  va_start(args, lpFmt);
  std::vsnprintf(text, sizeof text, lpFmt, args);
  va_end(args);
  const std::size_t length = std::strlen(text);
  std::memcpy(lpOut, text, length + 1);
  return static_cast<int>(call.done(static_cast<long>(length)));
}
