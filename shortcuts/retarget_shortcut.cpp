#include "shortcuts/retarget_shortcut.h"

#include <vector>

#include "platform/holders.h"
#include "platform/path.h"
#include "platform/wide_text.h"
#include "shortcuts/open_folder_shortcut.h"

namespace {

// Names of our own beside the files we work on. They end in no shortcut extension, so the shell
// never shows them under a shortcut's display name.
const char kSavedSuffix[] = ".pelmora-fixup-saved";      // the user's desktop file, moved aside
const char kScratchMarker[] = ".pelmora-fixup-scratch";  // a scratch copy may be on the desktop
const char kReplacementSuffix[] = ".pelmora-fixup-new";  // the new file, before it replaces

bool Fits(const AnsiString& path) { return path.size() < MAX_PATH; }

// A handle that reads no more than attributes, following every link on the way.
HANDLE OpenForAttributes(const AnsiString& path) {
  return CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The final path of what `path` names, after every link on the way; empty when it has none.
AnsiString FinalPathOf(const AnsiString& path) {
  const UniqueHandle file(OpenForAttributes(path));
  if (!file.valid()) return AnsiString();
  std::vector<char> buffer(2 * MAX_PATH);
  const DWORD length = GetFinalPathNameByHandleA(file.get(), buffer.data(),
                                                 static_cast<DWORD>(buffer.size()), 0);
  if (length == 0 || length >= buffer.size()) return AnsiString();
  return AnsiString(buffer.data(), length);
}

enum class Entry { Missing, PlainFile, Other };

// What stands at `path` in `folder`: nothing, a plain file that is exactly this directory entry
// (no link of any kind, no second hard link, its final path the entry itself), or anything else.
// `name` receives the entry's name as the folder spells it.
Entry Inspect(const AnsiString& folder, const AnsiString& path, AnsiString* name) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? Entry::Missing
                                                                          : Entry::Other;
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) return Entry::Other;

  WIN32_FIND_DATAA found{};
  if (!UniqueFind(FindFirstFileA(path.c_str(), &found)).valid()) return Entry::Other;
  found.cFileName[MAX_PATH - 1] = '\0';
  *name = found.cFileName;

  const UniqueHandle file(OpenForAttributes(path));
  if (!file.valid()) return Entry::Other;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(file.get(), &info) || info.nNumberOfLinks != 1 ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)))
    return Entry::Other;

  const AnsiString folderFinal = FinalPathOf(folder);
  const AnsiString fileFinal = FinalPathOf(path);
  if (folderFinal.empty() || fileFinal.empty()) return Entry::Other;
  const AnsiString expected = IncludeTrailingBackslash(folderFinal) + *name;
  return lstrcmpiA(fileFinal.c_str(), expected.c_str()) == 0 ? Entry::PlainFile : Entry::Other;
}

// The desktop side of one retargeting: the scratch path, and what was there before us.
struct DesktopScratch {
  AnsiString folder;      // the desktop directory, with its trailing backslash
  AnsiString path;        // folder + shortcutName + ".LNK"
  AnsiString marker;      // path + kScratchMarker
  AnsiString savedAs;     // where the user's file waits, empty when there was none
  AnsiString savedName;   // the user's file's own name, case included
};

// Puts a file moved aside by an earlier run back, and removes the scratch copy and marker that
// run left. False when the scratch path is taken by something that is not ours to remove.
bool RecoverEarlierRun(const DesktopScratch& scratch) {
  AnsiString name;
  if (GetFileAttributesA(scratch.marker.c_str()) != INVALID_FILE_ATTRIBUTES) {
    // The marker is written after the user's file was moved aside and before the copy, so a
    // plain file at the scratch path now is the copy an interrupted run left behind.
    const Entry entry = Inspect(scratch.folder, scratch.path, &name);
    if (entry == Entry::Other) return false;
    if (entry == Entry::PlainFile && !DeleteFileA(scratch.path.c_str())) return false;
    if (!DeleteFileA(scratch.marker.c_str())) return false;
  }
  WIN32_FIND_DATAA found{};
  if (UniqueFind(FindFirstFileA((scratch.path + kSavedSuffix).c_str(), &found)).valid()) {
    found.cFileName[MAX_PATH - 1] = '\0';
    const AnsiString savedName = found.cFileName;
    const AnsiString originalName =
        savedName.substr(0, savedName.size() - (sizeof kSavedSuffix - 1));
    if (!MoveFileExA((scratch.folder + savedName).c_str(),
                     (scratch.folder + originalName).c_str(), 0))
      return false;
  }
  return true;
}

// Makes the scratch path free for our copy: the user's plain file there is moved aside. False
// (and nothing changed) when the path holds anything we must not touch.
bool ClaimScratchPath(DesktopScratch& scratch) {
  if (!RecoverEarlierRun(scratch)) return false;
  AnsiString name;
  switch (Inspect(scratch.folder, scratch.path, &name)) {
    case Entry::Missing:
      break;
    case Entry::Other:
      return false;
    case Entry::PlainFile: {
      const AnsiString savedAs = scratch.folder + name + kSavedSuffix;
      if (!Fits(savedAs) || !MoveFileExA(scratch.path.c_str(), savedAs.c_str(), 0)) return false;
      scratch.savedAs = savedAs;
      scratch.savedName = name;
      break;
    }
  }
  // The saved file goes back on release when the marker cannot be made.
  return UniqueHandle(CreateFileA(scratch.marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_FLAG_WRITE_THROUGH, nullptr))
      .valid();
}

// Removes our copy and marker and puts the user's file back under its own name. What cannot be
// done now is left for the next run to finish, in the same order.
void ReleaseScratchPath(const DesktopScratch& scratch, bool claimed) {
  if (claimed) {
    DeleteFileA(scratch.path.c_str());
    if (GetFileAttributesA(scratch.path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    // While the marker stands, the next run takes a file at the scratch path for our copy: the
    // user's file may go back there only once the marker is gone.
    DeleteFileA(scratch.marker.c_str());
    if (GetFileAttributesA(scratch.marker.c_str()) != INVALID_FILE_ATTRIBUTES) return;
  }
  if (!scratch.savedAs.empty())
    MoveFileExA(scratch.savedAs.c_str(), (scratch.folder + scratch.savedName).c_str(), 0);
}

// Replaces `installPath` with the content of `source` in one step: written beside it first, then
// moved over it, so an interrupted run leaves the old file or the new one, never half of one.
void ReplaceInOneStep(const AnsiString& source, const AnsiString& installPath) {
  const AnsiString replacement = installPath + kReplacementSuffix;
  if (!CopyFileA(source.c_str(), replacement.c_str(), FALSE)) {
    DeleteFileA(replacement.c_str());
    return;
  }
  if (!MoveFileExA(replacement.c_str(), installPath.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    DeleteFileA(replacement.c_str());
}

// The desktop directory's path, or the empty text when the shell has none to give. False when
// the shell cannot even locate the directory.
bool DesktopDirectory(AnsiString* folder) {
  ShellMemory<ITEMIDLIST> idList(nullptr);  // until the shell's allocator is at hand
  const HRESULT located = SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, idList.put());
  char path[MAX_PATH] = "";
  const bool hasPath = located == S_OK && SHGetPathFromIDListA(idList.get(), path);
  if (idList.get()) {
    ComPtr<IMalloc> allocator;
    SHGetMalloc(allocator.put());
    ShellMemory<ITEMIDLIST> owned(allocator.get());
    *owned.put() = idList.release();
  }
  if (located != S_OK) return false;
  path[MAX_PATH - 1] = '\0';
  *folder = hasPath ? AnsiString(path) : AnsiString();
  return true;
}

}  // namespace

void RetargetShortcut(AnsiString shortcutName, AnsiString installDir) {
  const AnsiString installPath = installDir + shortcutName + ".LNK";
  DesktopScratch scratch;
  bool claimed = false;
  try {
    AnsiString desktop;
    if (!DesktopDirectory(&desktop) || desktop.empty()) return;
    scratch.folder = IncludeTrailingBackslash(desktop);
    scratch.path = scratch.folder + shortcutName + ".LNK";
    scratch.marker = scratch.path + kScratchMarker;

    // Every path must fit the calls that take it whole; none is ever cut to fit.
    WideString wideDesktopPath;
    if (!Fits(scratch.marker) || !Fits(installPath + kReplacementSuffix) ||
        !Fits(scratch.path + kSavedSuffix) ||
        !AnsiToWide(scratch.path, MAX_PATH, &wideDesktopPath))
      return;

    claimed = ClaimScratchPath(scratch);
    if (!claimed) {
      ReleaseScratchPath(scratch, false);
      return;
    }

    // The copy is made only where nothing is: the claim has just made sure of that. A read-only
    // shortcut is not copied at all: it cannot be replaced, and its copy, read-only like it,
    // could not be saved or deleted from the desktop again.
    const DWORD installAttributes = GetFileAttributesA(installPath.c_str());
    if (installAttributes != INVALID_FILE_ATTRIBUTES &&
        !(installAttributes & FILE_ATTRIBUTE_READONLY) &&
        CopyFileA(installPath.c_str(), scratch.path.c_str(), TRUE)) {
      ComPtr<IShellLinkA> link;
      AnsiString foundAt;
      OpenFolderShortcut(nullptr, "", "", "", 0, shortcutName, CSIDL_DESKTOPDIRECTORY, false,
                         &link, foundAt);
      // Only a copy that is wholly repointed, or wholly unchanged, goes back: a shortcut with
      // its new folder but its old target would be neither.
      bool carryBack = true;
      if (link) {
        carryBack = SUCCEEDED(link->SetPath((installDir + "Pelmora.EXE").c_str())) &&
                    SUCCEEDED(link->SetWorkingDirectory(installDir.c_str()));
        ComPtr<IPersistFile> file;
        if (carryBack && SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.putVoid())) &&
            file) {
          // Always saved to our own copy, whatever path the lookup reports.
          carryBack = SUCCEEDED(file->Save(wideDesktopPath.c_str(), FALSE));
          file.reset();
        }
        link.reset();
      }
      if (carryBack) ReplaceInOneStep(scratch.path, installPath);
    }
  } catch (...) {
    // A shortcut that cannot be repointed stays as it was; the next one is tried all the same.
  }
  if (claimed) ReleaseScratchPath(scratch, true);
}
