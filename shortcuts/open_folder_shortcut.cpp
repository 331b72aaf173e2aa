#include "shortcuts/open_folder_shortcut.h"

#include <cstring>

#include "platform/path.h"
#include "platform/wide_text.h"

namespace {

// Capacities of the texts a lookup handles, terminator included.
constexpr std::size_t kFolderPathCapacity = MAX_PATH;
constexpr std::size_t kSoughtNameCapacity = MAX_PATH;
constexpr std::size_t kDisplayNameCapacity = 200;
constexpr std::size_t kShortcutPathCapacity = MAX_PATH;
constexpr std::size_t kMessageHeadCapacity = 300;
constexpr std::size_t kSystemTextCapacity = 500;

enum class Strret { Filled, UnknownKind, TooLong };

// Takes the text out of a STRRET, freeing a string the shell allocated. Text that would not fit
// in `capacity` units with its terminator is reported, never cut.
Strret TextFromStrret(STRRET& name, LPCITEMIDLIST item, IMalloc* allocator, std::size_t capacity,
                      WideString* text) {
  switch (name.uType) {
    case STRRET_WSTR: {
      ShellMemory<WCHAR> owned(allocator);
      *owned.put() = name.pOleStr;
      const WCHAR* wide = owned.get();
      if (!wide) return Strret::TooLong;
      std::size_t length = 0;
      while (length < capacity && wide[length]) ++length;
      if (length == capacity) return Strret::TooLong;
      text->assign(wide, length);
      return Strret::Filled;
    }
    case STRRET_OFFSET: {
      // The 8-bit string lies inside the item's own ID list; read no further than the item.
      USHORT itemSize = 0;
      std::memcpy(&itemSize, item, sizeof itemSize);
      if (name.uOffset >= itemSize) return Strret::TooLong;
      const char* start = reinterpret_cast<const char*>(item) + name.uOffset;
      const std::size_t room = itemSize - name.uOffset;
      const std::size_t length = strnlen(start, room);
      if (length == room) return Strret::TooLong;
      return AnsiToWide(AnsiString(start, length), capacity, text) ? Strret::Filled
                                                                   : Strret::TooLong;
    }
    case STRRET_CSTR: {
      const std::size_t length = strnlen(name.cStr, sizeof name.cStr);
      if (length == sizeof name.cStr) return Strret::TooLong;
      return AnsiToWide(AnsiString(name.cStr, length), capacity, text) ? Strret::Filled
                                                                       : Strret::TooLong;
    }
    default:
      return Strret::UnknownKind;
  }
}

struct Lookup {
  WideString folderPath;    // empty when the folder has no file-system path we can use
  WideString shortcutPath;  // parsing name of the last match that had one
  bool found = false;
};

// Walks the folder's non-folder items and remembers the last one whose display name is
// `soughtName`. Every shell object it obtains is released before it returns, in reverse order.
Lookup FindInFolder(HWND ownerWindow, int folderId, const WideString* soughtName) {
  Lookup lookup;
  ComPtr<IMalloc> allocator;
  SHGetMalloc(allocator.put());
  if (!allocator) return lookup;  // nothing the shell hands out could be freed: look no further

  ShellMemory<ITEMIDLIST> folderIdList(allocator.get());
  SHGetSpecialFolderLocation(nullptr, folderId, folderIdList.put());
  if (!folderIdList.get()) return lookup;

  char folderPath[kFolderPathCapacity] = "";
  if (!SHGetPathFromIDListA(folderIdList.get(), folderPath)) folderPath[0] = '\0';
  folderPath[kFolderPathCapacity - 1] = '\0';
  if (folderPath[0] && !AnsiToWide(folderPath, kFolderPathCapacity, &lookup.folderPath))
    lookup.folderPath.clear();

  ComPtr<IShellFolder> desktop;
  if (FAILED(SHGetDesktopFolder(desktop.put())) || !desktop) return lookup;
  ComPtr<IShellFolder> folder;
  if (FAILED(desktop->BindToObject(folderIdList.get(), nullptr, IID_IShellFolder,
                                   folder.putVoid())) ||
      !folder)
    return lookup;
  ComPtr<IEnumIDList> items;
  if (FAILED(folder->EnumObjects(ownerWindow, SHCONTF_NONFOLDERS, items.put())) || !items)
    return lookup;

  for (;;) {
    ShellMemory<ITEMIDLIST> item(allocator.get());
    if (items->Next(1, item.put(), nullptr) != S_OK) break;

    STRRET name{};
    if (FAILED(folder->GetDisplayNameOf(item.get(), SHGDN_INFOLDER, &name))) break;
    WideString displayName;
    const bool matches =
        TextFromStrret(name, item.get(), allocator.get(), kDisplayNameCapacity, &displayName) !=
            Strret::TooLong &&
        soughtName && displayName == *soughtName;
    if (matches) {
      STRRET parsing{};
      if (SUCCEEDED(folder->GetDisplayNameOf(item.get(), SHGDN_FORPARSING, &parsing))) {
        // An unknown kind leaves the path of an earlier match in place.
        WideString path;
        if (TextFromStrret(parsing, item.get(), allocator.get(), kShortcutPathCapacity, &path) ==
            Strret::Filled)
          lookup.shortcutPath = path;
        if (!lookup.shortcutPath.empty()) lookup.found = true;
      }
    }
  }
  return lookup;
}

// "Couldn't get IShellLink ...: <system text>", built in its fixed order: the last-error code is
// read before anything else can change it.
AnsiString ComposedCreateMessage(HRESULT result, IShellLinkA* link) {
  const DWORD lastError = GetLastError();
  char head[kMessageHeadCapacity];
  wsprintfA(head, "Couldn't get IShellLink to existing file. hres=%lx %lu. psl=%lx. ",
            static_cast<unsigned long>(static_cast<DWORD>(result)),
            static_cast<unsigned long>(static_cast<DWORD>(result)),
            static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(link)));
  char systemText[kSystemTextCapacity] = "";
  char* buffer = nullptr;
  if (FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                     lastError, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<LPSTR>(&buffer), 0, nullptr) &&
      buffer) {
    // A message text, not a path: one longer than its buffer is shortened, not refused.
    std::strncpy(systemText, buffer, sizeof systemText - 1);
  }
  if (buffer) LocalFree(buffer);
  return AnsiString(head) + ": " + systemText;
}

// The folder part of a target, without its last backslash: C:\Tools\run.exe gives C:\Tools.
AnsiString WorkingDirectoryOf(const AnsiString& targetPath) {
  const int backslash = LastDelimiter("\\", targetPath);
  return backslash > 0 ? targetPath.substr(0, static_cast<std::size_t>(backslash) - 1)
                       : AnsiString();
}

void HandOver(ComPtr<IShellLinkA>& link, ComPtr<IShellLinkA>* shellLink) {
  if (shellLink)
    shellLink->reset(link.detach());
  else
    link.reset();
}

}  // namespace

void OpenFolderShortcut(HWND ownerWindow, AnsiString targetPath, AnsiString arguments,
                        AnsiString iconPath, int iconIndex, AnsiString shortcutName, int folderId,
                        bool createIfMissing, ComPtr<IShellLinkA>* shellLink,
                        AnsiString& shortcutPath) {
  ComScope com;

  // A name too long for the sought-name buffer matches nothing.
  WideString soughtName;
  const bool soughtFits = AnsiToWide(shortcutName, kSoughtNameCapacity, &soughtName);
  const Lookup lookup = FindInFolder(ownerWindow, folderId, soughtFits ? &soughtName : nullptr);

  if (lookup.found) {
    ComPtr<IShellLinkA> link;
    const HRESULT created = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_IShellLinkA, link.putVoid());
    if (FAILED(created) || !link) {
      const AnsiString message = ComposedCreateMessage(created, link.get());
      link.reset();
      com.Close();
      throw Exception(message);
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid())) || !file) {
      link.reset();
      com.Close();
      throw Exception("Couldn't get a persist-file interface to the IShellLink for existing file");
    }
    if (FAILED(file->Load(lookup.shortcutPath.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE))) {
      file.reset();
      link.reset();
      com.Close();
      throw Exception("Error loading the existing IShellLink");
    }
    file.reset();
    HandOver(link, shellLink);
    // The link outlives this scope only because the caller's own COM scope is still open.
    com.Close();
    shortcutPath = WideToAnsi(lookup.shortcutPath);
    return;
  }

  if (!createIfMissing) {
    com.Close();
    shortcutPath = AnsiString();
    return;
  }

  // A folder without a usable path, or a path that would not fit, is never created: a cut or
  // rootless path would put the shortcut somewhere nobody asked for.
  WideString nameWide;
  WideString path;
  if (!lookup.folderPath.empty() && AnsiToWide(shortcutName, kShortcutPathCapacity, &nameWide))
    path = lookup.folderPath + AsciiWide("\\") + nameWide + AsciiWide(".lnk");
  if (path.empty() || path.size() >= kShortcutPathCapacity) {
    com.Close();
    throw Exception("Unable to create shortcut file");
  }

  const AnsiString workingDirectory = WorkingDirectoryOf(targetPath);

  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.putVoid())) ||
      !link) {
    link.reset();
    com.Close();
    throw Exception("Unable to create shortcut file");
  }
  if (!targetPath.empty()) link->SetPath(targetPath.c_str());
  link->SetDescription("");
  if (!arguments.empty()) link->SetArguments(arguments.c_str());
  if (!iconPath.empty()) link->SetIconLocation(iconPath.c_str(), iconIndex);
  if (!workingDirectory.empty()) link->SetWorkingDirectory(workingDirectory.c_str());

  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid())) || !file) {
    link.reset();
    com.Close();
    throw Exception("Unable to get IPersistFile interface on shortcut just created");
  }
  file->Save(path.c_str(), FALSE);
  file.reset();
  HandOver(link, shellLink);
  com.Close();
  shortcutPath = WideToAnsi(path);
}
