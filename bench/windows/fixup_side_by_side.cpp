// The whole tool (pelmora-fixup.exe) against reference_fixup.exe, which produces the same effect
// directly, each started as a child process from the same freshly seeded state, the two taking
// turns (the tool first in even rounds, the reference first in odd ones); a program that does
// nothing (bench_empty_process.exe) runs in every round too, for the cost of starting a process.
// Only the child's run is timed, from CreateProcess to its end. After every run the effect is
// checked: the five earlier entries gone, the current one kept, the six shortcuts repointed with
// every other property they were written with, and the desktop holding what it held before.
//
// The desktop holds 0, 10^3, 5 * 10^3 ... unrelated items (shortcuts and text files, alternately)
// while the two run. For each desktop size the parts of the tool's work are then timed one by one
// in this process, through the tool's own code (pelmora_core), to show where the time goes; the
// tool's way and the reference's way of the same part take turns.
//
//   fixup_side_by_side [--desktop 0,1000,5000] [--rounds 15[,15,7]] [--parts 5]
//
// Prints tab-separated lines:
//   sample   <desktop items> <round> <tool|reference|empty> <seconds>
//   summary  <desktop items> <rounds> <tool median s> <reference median s> <ratio>
//            <empty median s>
//   part     <desktop items> <part> <median seconds>
//
//   fixup_side_by_side --trace <names|retarget|repoint>
// does one piece of work between two OutputDebugStringA marks ("pelmora-bench: work starts" and
// "... ends"), for a relay trace of the system calls it makes (tools/bench runs it with
// WINEDEBUG=+relay): names, the in-folder display names of 100 desktop items, one by one, as
// each lookup takes them; retarget, one RetargetShortcut; repoint, the reference's Load, SetPath,
// SetWorkingDirectory and Save of one shortcut.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "app/main_sequence.h"
#include "bench/windows/stats.h"
#include "platform/holders.h"
#include "registry/delete_registry_tree.h"
#include "registry/read_registry_string.h"
#include "shortcuts/open_folder_shortcut.h"
#include "shortcuts/retarget_shortcut.h"

namespace {

using benchstats::Now;

const std::string kBenchDir = "C:\\PelmoraFixupBench\\";
const std::string kInstallDir = kBenchDir + "Pelmora V3.2\\";
const std::string kMasters = kBenchDir + "masters\\";
const char kItemPrefix[] = "Pelmora bench item ";

std::string Here() {
  char self[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path(self, length);
  return path.substr(0, path.find_last_of('\\') + 1);
}

std::string Desktop() {
  char path[MAX_PATH] = "";
  SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, path);
  return path;
}

std::wstring Wide(const std::string& text) {
  wchar_t wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH)) return std::wstring();
  return wide;
}

bool Fail(const std::string& what) {
  std::fprintf(stderr, "fixup_side_by_side: %s\n", what.c_str());
  return false;
}

// ---- state ----------------------------------------------------------------------------------

void SetValue(const std::string& path, const char* name, DWORD type, const void* data,
              DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return;
  RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

void SetText(const std::string& path, const char* name, const std::string& text) {
  SetValue(path, name, REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

// The uninstall entries as an installation leaves them: five earlier ones with values and
// nested subkeys, and the current one naming the install folder.
void SeedRegistry() {
  for (const char* entry : earlierUninstallKeys) {
    const std::string path = entry;
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, entry);
    SetText(path, "DisplayName", path.substr(path.rfind('\\') + 1));
    SetText(path, "DisplayVersion", "1.0.0");
    SetText(path, "Publisher", "Pelmora Software");
    SetText(path, "UninstallString", "C:\\Program Files\\Pelmora Old\\remove.exe");
    const DWORD size = 20480;
    SetValue(path, "EstimatedSize", REG_DWORD, &size, sizeof size);
    SetText(path + "\\Components\\Core", "", "core");
    SetText(path + "\\Components\\Core\\Files", "Main", "C:\\Program Files\\Pelmora Old\\a.exe");
    SetText(path + "\\Components\\Core\\Files", "Help", "C:\\Program Files\\Pelmora Old\\a.hlp");
    SetText(path + "\\Settings", "Level", "3");
  }
  SetText(currentUninstallKey, "DisplayName", "Pelmora V3.2");
  SetText(currentUninstallKey, "UninstallString", kInstallDir + "remove.exe");
}

bool WriteLink(const std::string& path, const std::string& tag) {
  ComScope com;
  ComPtr<IShellLinkA> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.putVoid())))
    return Fail("no shell link object");
  link->SetPath(("C:\\Program Files\\Pelmora Old\\" + tag + ".exe").c_str());
  link->SetArguments(("/open \"" + tag + ".pel\"").c_str());
  link->SetDescription(("Starts " + tag).c_str());
  link->SetWorkingDirectory("C:\\Program Files\\Pelmora Old");
  link->SetIconLocation("C:\\Program Files\\Pelmora Old\\icons.dll", 3);
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid())) ||
      FAILED(file->Save(Wide(path).c_str(), TRUE)))
    return Fail("cannot write " + path);
  return true;
}

bool MakeMasters() {
  CreateDirectoryA(kBenchDir.c_str(), nullptr);
  CreateDirectoryA(kInstallDir.c_str(), nullptr);
  CreateDirectoryA(kMasters.c_str(), nullptr);
  for (const char* name : shortcutNames)
    if (!WriteLink(kMasters + name + ".LNK", name)) return false;
  return WriteLink(kMasters + "unrelated.lnk", "unrelated");
}

bool RestoreShortcuts() {
  for (const char* name : shortcutNames) {
    const std::string file = std::string(name) + ".LNK";
    if (!CopyFileA((kMasters + file).c_str(), (kInstallDir + file).c_str(), FALSE))
      return Fail("cannot restore " + file);
  }
  return true;
}

std::vector<std::string> FolderEntries(const std::string& folder, const std::string& pattern) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\" + pattern).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.push_back(name);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return names;
}

// The benchmark's own desktop items, as many as asked for; nothing else on the desktop is touched.
bool SetDesktopItems(const std::string& desktop, int count) {
  std::string prefix = kItemPrefix;
  for (const std::string& name : FolderEntries(desktop, prefix + "*")) {
    const int index = std::atoi(name.c_str() + prefix.size());
    if (index >= count) DeleteFileA((desktop + "\\" + name).c_str());
  }
  for (int i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "%s%05d.%s", kItemPrefix, i, i % 2 ? "txt" : "lnk");
    const std::string path = desktop + "\\" + name;
    if (GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) continue;
    if (i % 2 == 0) {
      if (!CopyFileA((kMasters + "unrelated.lnk").c_str(), path.c_str(), TRUE))
        return Fail("cannot write " + path);
    } else {
      std::ofstream(path) << "a note\n";
    }
  }
  return true;
}

std::string IncludeTrailing(const std::string& folder) {
  return !folder.empty() && folder.back() == '\\' ? folder : folder + "\\";
}

bool SameText(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// The effect both programs must have had.
bool Verify(const char* who, std::size_t desktopEntries, const std::string& desktop) {
  for (const char* entry : earlierUninstallKeys)
    if (KeyExists(entry)) return Fail(std::string(who) + " left " + entry);
  if (!KeyExists(currentUninstallKey)) return Fail(std::string(who) + " removed the V3.2 entry");
  ComScope com;
  for (const char* name : shortcutNames) {
    const std::string path = kInstallDir + name + ".LNK";
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    char target[MAX_PATH] = "", folder[MAX_PATH] = "", description[MAX_PATH] = "",
         arguments[MAX_PATH] = "", icon[MAX_PATH] = "";
    int iconIndex = -1;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.putVoid())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid())) ||
        FAILED(file->Load(Wide(path).c_str(), STGM_READ)))
      return Fail(std::string(who) + ": cannot load " + path);
    link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
    link->GetWorkingDirectory(folder, MAX_PATH);
    link->GetDescription(description, MAX_PATH);
    link->GetArguments(arguments, MAX_PATH);
    link->GetIconLocation(icon, MAX_PATH, &iconIndex);
    // The new target and folder; every other property as the shortcut was written (WriteLink).
    if (!SameText(target, kInstallDir + "Pelmora.EXE") ||
        !SameText(IncludeTrailing(folder), kInstallDir) ||
        std::string(description) != std::string("Starts ") + name ||
        std::string(arguments) != std::string("/open \"") + name + ".pel\"" ||
        !SameText(icon, "C:\\Program Files\\Pelmora Old\\icons.dll") || iconIndex != 3)
      return Fail(std::string(who) + ": " + path + " points at " + target + " in " + folder);
  }
  const std::size_t now = FolderEntries(desktop, "*").size();
  if (now != desktopEntries)
    return Fail(std::string(who) + " changed the desktop: " + std::to_string(desktopEntries) +
                " entries before, " + std::to_string(now) + " after");
  return true;
}

// ---- child processes ------------------------------------------------------------------------

// Seconds from CreateProcess to the child's end; negative when it could not run or failed.
double TimedRun(const std::string& program) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::string commandLine = "\"" + program + "\"";
  const double start = Now();
  if (!CreateProcessA(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return -1;
  WaitForSingleObject(process.hProcess, INFINITE);
  const double took = Now() - start;
  DWORD status = 1;
  GetExitCodeProcess(process.hProcess, &status);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return status == 0 ? took : -1;
}

// ---- the tool's parts, in this process ------------------------------------------------------

void Repoint(const std::string& path) {
  ComPtr<IShellLinkA> link;
  ComPtr<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              link.putVoid())) ||
      FAILED(link->QueryInterface(IID_IPersistFile, file.putVoid())))
    return;
  const std::wstring wide = Wide(path);
  if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ))) {
    link->SetPath((kInstallDir + "Pelmora.EXE").c_str());
    link->SetWorkingDirectory(kInstallDir.c_str());
    file->Save(wide.c_str(), TRUE);
  }
}

template <class Work>
double MedianOf(int repeats, Work work) {
  std::vector<double> samples;
  for (int i = 0; i < repeats; ++i) samples.push_back(work());
  return benchstats::Median(samples);
}

// The medians of two pieces of work that take turns, the first of each pair changing every time.
template <class First, class Second>
std::pair<double, double> MediansTakingTurns(int repeats, First first, Second second) {
  std::vector<double> firsts, seconds;
  for (int i = 0; i < repeats; ++i) {
    if (i % 2 == 0) {
      firsts.push_back(first());
      seconds.push_back(second());
    } else {
      seconds.push_back(second());
      firsts.push_back(first());
    }
  }
  return {benchstats::Median(firsts), benchstats::Median(seconds)};
}

void Part(int items, const char* part, double seconds) {
  std::printf("part\t%d\t%s\t%.6f\n", items, part, seconds);
}

void Parts(int items, int repeats, const std::string& desktop) {
  const int shortcuts = static_cast<int>(std::size(shortcutNames));
  // The registry parts take milliseconds: three times the repetitions steady their medians.
  const auto registry = MediansTakingTurns(
      3 * repeats,
      [] {
        SeedRegistry();
        const double start = Now();
        if (!ReadRegistryString(0, currentUninstallKey, "DisplayName").empty())
          for (const char* entry : earlierUninstallKeys) DeleteRegistryTree(entry);
        ReadRegistryString(0, currentUninstallKey, "UninstallString");
        return Now() - start;
      },
      [] {
         SeedRegistry();
         const double start = Now();
         char data[MAX_PATH];
         DWORD size = sizeof data;
         RegGetValueA(HKEY_LOCAL_MACHINE, currentUninstallKey, "DisplayName", RRF_RT_REG_SZ,
                      nullptr, data, &size);
         for (const char* entry : earlierUninstallKeys) RegDeleteTreeA(HKEY_LOCAL_MACHINE, entry);
         size = sizeof data;
         RegGetValueA(HKEY_LOCAL_MACHINE, currentUninstallKey, "UninstallString", RRF_RT_REG_SZ,
                      nullptr, data, &size);
         return Now() - start;
      });
  Part(items, "registry: read and remove with DeleteRegistryTree", registry.first);
  Part(items, "registry: read and remove with RegDeleteTreeA", registry.second);

  ComScope com;
  const auto shortcut = MediansTakingTurns(
      repeats,
      [&] {
        RestoreShortcuts();
        const double start = Now();
        for (const char* name : shortcutNames) RetargetShortcut(name, kInstallDir);
        return (Now() - start) / shortcuts;
      },
      [&] {
        RestoreShortcuts();
        const double start = Now();
        for (const char* name : shortcutNames) Repoint(kInstallDir + name + ".LNK");
        return (Now() - start) / shortcuts;
      });
  Part(items, "per shortcut: RetargetShortcut", shortcut.first);
  Part(items, "per shortcut: OpenFolderShortcut, one enumeration of the desktop",
       MedianOf(repeats, [] {
         ComPtr<IShellLinkA> link;
         AnsiString path;
         const double start = Now();
         OpenFolderShortcut(nullptr, "", "", "", 0, "Pelmora bench absent", CSIDL_DESKTOPDIRECTORY,
                            false, &link, path);
         return Now() - start;
       }));
  Part(items, "per shortcut: enumeration only (EnumObjects, Next, GetDisplayNameOf)",
       MedianOf(repeats, [] {
         const double start = Now();
         ComPtr<IMalloc> allocator;
         SHGetMalloc(allocator.put());
         ShellMemory<ITEMIDLIST> folderIdList(allocator.get());
         SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, folderIdList.put());
         ComPtr<IShellFolder> root, folder;
         ComPtr<IEnumIDList> items;
         SHGetDesktopFolder(root.put());
         root->BindToObject(folderIdList.get(), nullptr, IID_IShellFolder, folder.putVoid());
         folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, items.put());
         for (;;) {
           ShellMemory<ITEMIDLIST> item(allocator.get());
           if (items->Next(1, item.put(), nullptr) != S_OK) break;
           STRRET name{};
           folder->GetDisplayNameOf(item.get(), SHGDN_INFOLDER, &name);
           if (name.uType == STRRET_WSTR) allocator->Free(name.pOleStr);
         }
         return Now() - start;
       }));
  Part(items, "per shortcut: the desktop directory located (SHGetSpecialFolderLocation, "
              "SHGetPathFromIDListA)",
       MedianOf(repeats, [] {
         const double start = Now();
         ComPtr<IMalloc> allocator;
         SHGetMalloc(allocator.put());
         ShellMemory<ITEMIDLIST> idList(allocator.get());
         SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, idList.put());
         char path[MAX_PATH];
         SHGetPathFromIDListA(idList.get(), path);
         return Now() - start;
       }));
  Part(items, "per shortcut: copy to the desktop and delete it again", MedianOf(repeats, [&] {
         const std::string from = kInstallDir + shortcutNames[0] + ".LNK";
         const std::string to = desktop + "\\" + shortcutNames[0] + ".LNK";
         const double start = Now();
         CopyFileA(from.c_str(), to.c_str(), TRUE);
         DeleteFileA(to.c_str());
         return Now() - start;
       }));
  Part(items, "per shortcut: Load, SetPath, SetWorkingDirectory, Save in place",
       shortcut.second);
  Part(items, "whole run in this process: RunMainSequence", MedianOf(repeats, [] {
         SeedRegistry();
         RestoreShortcuts();
         const double start = Now();
         RunMainSequence();
         return Now() - start;
       }));
}

// Every item of the desktop, listed as a lookup lists them, and their display names taken.
void DisplayNames() {
  ComPtr<IMalloc> allocator;
  SHGetMalloc(allocator.put());
  ShellMemory<ITEMIDLIST> folderIdList(allocator.get());
  SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, folderIdList.put());
  ComPtr<IShellFolder> root, folder;
  ComPtr<IEnumIDList> items;
  SHGetDesktopFolder(root.put());
  root->BindToObject(folderIdList.get(), nullptr, IID_IShellFolder, folder.putVoid());
  folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, items.put());
  std::vector<LPITEMIDLIST> listed;
  for (LPITEMIDLIST item = nullptr; items->Next(1, &item, nullptr) == S_OK;) listed.push_back(item);
  OutputDebugStringA("pelmora-bench: work starts");
  for (LPITEMIDLIST item : listed) {
    STRRET name{};
    folder->GetDisplayNameOf(item, SHGDN_INFOLDER, &name);
    if (name.uType == STRRET_WSTR) allocator->Free(name.pOleStr);
  }
  OutputDebugStringA("pelmora-bench: work ends");
  for (LPITEMIDLIST item : listed) allocator->Free(item);
}

int Trace(const std::string& what, const std::string& desktop) {
  if (!MakeMasters() || !SetDesktopItems(desktop, what == "names" ? 100 : 0)) return 1;
  SeedRegistry();
  RestoreShortcuts();
  ComScope com;
  if (what == "names") {
    DisplayNames();
  } else {
    const std::string name = shortcutNames[0];
    OutputDebugStringA("pelmora-bench: work starts");
    if (what == "retarget")
      RetargetShortcut(name, kInstallDir);
    else
      Repoint(kInstallDir + name + ".LNK");
    OutputDebugStringA("pelmora-bench: work ends");
  }
  SetDesktopItems(desktop, 0);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<int> sizes =
      benchstats::IntList(benchstats::Option(argc, argv, "--desktop", "0,1000,5000"));
  // Rounds per desktop size, or one count for every size.
  const std::vector<int> roundList = benchstats::IntList(benchstats::Option(argc, argv, "--rounds", "15"));
  const int repeats = std::stoi(benchstats::Option(argc, argv, "--parts", "5"));
  const std::string here = Here();
  const std::string programs[] = {here + "pelmora-fixup.exe", here + "reference_fixup.exe",
                                  here + "bench_empty_process.exe"};
  const char* const names[] = {"tool", "reference", "empty"};
  const std::string desktop = Desktop();
  if (desktop.empty()) return Fail("no desktop directory"), 1;
  const std::string trace = benchstats::Option(argc, argv, "--trace", "");
  if (!trace.empty()) return Trace(trace, desktop);
  if (!MakeMasters()) return 1;

  int status = 0;
  for (std::size_t size = 0; size < sizes.size(); ++size) {
    const int items = sizes[size];
    const int rounds = roundList.empty() ? 15 : roundList[std::min(size, roundList.size() - 1)];
    if (!SetDesktopItems(desktop, items)) return 1;
    const std::size_t entries = FolderEntries(desktop, "*").size();
    std::vector<double> samples[3];
    // An untimed round first: the programs and the desktop listing come from a warm cache.
    for (int round = -1; round < rounds && status == 0; ++round) {
      const int order[2][3] = {{0, 1, 2}, {1, 0, 2}};
      for (int which : order[round < 0 ? 0 : round % 2]) {
        if (which != 2 && !(SeedRegistry(), RestoreShortcuts())) return 1;
        const double took = TimedRun(programs[which]);
        if (took < 0) {
          Fail(std::string(names[which]) + " did not run to a successful end");
          status = 1;
          break;
        }
        if (which != 2 && !Verify(names[which], entries, desktop)) {
          status = 1;
          break;
        }
        if (round < 0) continue;
        samples[which].push_back(took);
        std::printf("sample\t%d\t%d\t%s\t%.6f\n", items, round, names[which], took);
      }
    }
    if (status != 0) break;
    const double tool = benchstats::Median(samples[0]), reference = benchstats::Median(samples[1]);
    std::printf("summary\t%d\t%d\t%.6f\t%.6f\t%.3f\t%.6f\n", items, rounds, tool, reference,
                tool / reference, benchstats::Median(samples[2]));
    std::fflush(stdout);
    Parts(items, repeats, desktop);
    std::fflush(stdout);
  }
  SetDesktopItems(desktop, 0);
  SeedRegistry();
  for (const char* entry : earlierUninstallKeys) RegDeleteTreeA(HKEY_LOCAL_MACHINE, entry);
  RegDeleteTreeA(HKEY_LOCAL_MACHINE, currentUninstallKey);
  return status;
}
