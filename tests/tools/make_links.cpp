// make_links: writes the shell-link fixtures of tests/data/lnk through the system's own shell
// link object, and shows what that object reads back from a link file.
//
//   make_links.exe write FOLDER     writes FOLDER\wine-*.lnk (see tests/data/lnk/README.md)
//   make_links.exe show FILE...     loads each link and prints what its getters return
//   make_links.exe retarget IN OUT TARGET
//                                   loads IN, SetPath(TARGET), saves as OUT (what the tool does)
//   make_links.exe resave IN OUT    loads IN and saves it as OUT unchanged
//   make_links.exe product FOLDER   writes the six product shortcuts into FOLDER, each with
//                                   properties of its own and a target in an old place
//
// A Windows program: built with the MinGW-w64 cross compiler and run under Wine, e.g.
//   x86_64-w64-mingw32-g++-posix -static -O2 -o make_links.exe tests/tools/make_links.cpp
//       -lole32 -luuid -lshell32   (one line)
//   cmake/wine-run /tmp/state make_links.exe write 'Z:\tmp\out'
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Everything a fixture link is made of; empty strings and a zero hot key are not set.
struct LinkProps {
  const char* file;
  bool wide;           // set through IShellLinkW rather than IShellLinkA
  const char* target;  // all strings UTF-8 here
  const char* arguments;
  const char* description;
  const char* iconPath;
  int iconIndex;
  const char* workingDir;
  const char* relativePath;
  WORD hotKey;
  int showCmd;  // 0: not set
};

std::vector<WCHAR> Wide(const char* utf8) {
  int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
  std::vector<WCHAR> out(n > 0 ? n : 1);
  if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
  return out;
}

std::string Utf8(const WCHAR* wide) {
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide, -1, &out[0], n, nullptr, nullptr);
  out.resize(out.find('\0'));
  return out;
}

bool Check(HRESULT hr, const char* what) {
  if (FAILED(hr)) std::fprintf(stderr, "%s failed: 0x%08lx\n", what, static_cast<unsigned long>(hr));
  return SUCCEEDED(hr);
}

// Sets every property through one interface: IShellLinkA (the tool's own) takes the strings in
// the ANSI code page, IShellLinkW in UTF-16 (for text outside the ANSI code page).
std::string Ansi(const char* utf8) {
  std::vector<WCHAR> wide = Wide(utf8);
  int n = WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, wide.data(), -1, &out[0], n, nullptr, nullptr);
  return out;
}
struct AnsiText {
  std::string s;
  explicit AnsiText(const char* utf8) : s(Ansi(utf8)) {}
  const char* get() const { return s.c_str(); }
};
struct WideText {
  std::vector<WCHAR> s;
  explicit WideText(const char* utf8) : s(Wide(utf8)) {}
  const WCHAR* get() const { return s.data(); }
};

template <class Link, class Text>
bool WriteLinkThrough(const IID& iid, const std::string& folder, const LinkProps& p) {
  Link* link = nullptr;
  if (!Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, iid,
                              reinterpret_cast<void**>(&link)),
             "CoCreateInstance"))
    return false;
  bool ok = Check(link->SetPath(Text(p.target).get()), "SetPath");
  if (ok && *p.arguments) ok = Check(link->SetArguments(Text(p.arguments).get()), "SetArguments");
  if (ok && *p.description)
    ok = Check(link->SetDescription(Text(p.description).get()), "SetDescription");
  if (ok && *p.iconPath)
    ok = Check(link->SetIconLocation(Text(p.iconPath).get(), p.iconIndex), "SetIconLocation");
  if (ok && *p.workingDir)
    ok = Check(link->SetWorkingDirectory(Text(p.workingDir).get()), "SetWorkingDirectory");
  if (ok && *p.relativePath)
    ok = Check(link->SetRelativePath(Text(p.relativePath).get(), 0), "SetRelativePath");
  if (ok && p.hotKey) ok = Check(link->SetHotkey(p.hotKey), "SetHotkey");
  if (ok && p.showCmd) ok = Check(link->SetShowCmd(p.showCmd), "SetShowCmd");
  IPersistFile* file = nullptr;
  if (ok)
    ok = Check(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)),
               "QueryInterface(IPersistFile)");
  if (ok) {
    std::string path = folder + "\\" + p.file;
    ok = Check(file->Save(Wide(path.c_str()).data(), TRUE), "Save");
    if (ok) std::printf("wrote %s\n", path.c_str());
  }
  if (file) file->Release();
  link->Release();
  return ok;
}

bool WriteLink(const std::string& folder, const LinkProps& p) {
  return p.wide ? WriteLinkThrough<IShellLinkW, WideText>(IID_IShellLinkW, folder, p)
                : WriteLinkThrough<IShellLinkA, AnsiText>(IID_IShellLinkA, folder, p);
}

// Prints what the shell link object's A getters return for a link file, one "name: value" a
// line (values in the ANSI code page, as the tool sees them).
bool ShowLink(const char* path) {
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  if (!Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)),
             "CoCreateInstance"))
    return false;
  bool ok = Check(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)),
                  "QueryInterface(IPersistFile)");
  if (ok) {
    HRESULT hr = file->Load(Wide(path).data(), STGM_READ);
    std::printf("file: %s\nLoad: 0x%08lx\n", path, static_cast<unsigned long>(hr));
    ok = SUCCEEDED(hr);
  }
  if (ok) {
    char buf[MAX_PATH * 4];
    WIN32_FIND_DATAA fd;
    HRESULT hr;
    buf[0] = 0;
    hr = link->GetPath(buf, sizeof buf, &fd, SLGP_RAWPATH);
    std::printf("GetPath(raw): 0x%08lx [%s]\n", static_cast<unsigned long>(hr), buf);
    buf[0] = 0;
    hr = link->GetPath(buf, sizeof buf, &fd, 0);
    std::printf("GetPath: 0x%08lx [%s]\n", static_cast<unsigned long>(hr), buf);
    buf[0] = 0;
    hr = link->GetArguments(buf, sizeof buf);
    std::printf("GetArguments: 0x%08lx [%s]\n", static_cast<unsigned long>(hr), buf);
    buf[0] = 0;
    hr = link->GetDescription(buf, sizeof buf);
    std::printf("GetDescription: 0x%08lx [%s]\n", static_cast<unsigned long>(hr), buf);
    buf[0] = 0;
    int icon = -1;
    hr = link->GetIconLocation(buf, sizeof buf, &icon);
    std::printf("GetIconLocation: 0x%08lx [%s] %d\n", static_cast<unsigned long>(hr), buf, icon);
    buf[0] = 0;
    hr = link->GetWorkingDirectory(buf, sizeof buf);
    std::printf("GetWorkingDirectory: 0x%08lx [%s]\n", static_cast<unsigned long>(hr), buf);
    WORD hotKey = 0;
    hr = link->GetHotkey(&hotKey);
    std::printf("GetHotkey: 0x%08lx 0x%04x\n", static_cast<unsigned long>(hr), hotKey);
    int show = -1;
    hr = link->GetShowCmd(&show);
    std::printf("GetShowCmd: 0x%08lx %d\n", static_cast<unsigned long>(hr), show);
    PIDLIST_ABSOLUTE pidl = nullptr;
    hr = link->GetIDList(&pidl);
    std::printf("GetIDList: 0x%08lx %s", static_cast<unsigned long>(hr), pidl ? "" : "null");
    if (pidl) {
      WCHAR wide[MAX_PATH];
      std::printf("%s", SHGetPathFromIDListW(pidl, wide) ? Utf8(wide).c_str() : "(no path)");
      CoTaskMemFree(pidl);
    }
    std::printf("\n");
  }
  if (file) file->Release();
  link->Release();
  return ok;
}

// target null: saved as loaded.
bool Retarget(const char* in, const char* out, const char* target) {
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  if (!Check(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link)),
             "CoCreateInstance"))
    return false;
  bool ok = Check(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)),
                  "QueryInterface(IPersistFile)") &&
            Check(file->Load(Wide(in).data(), STGM_READ), "Load") &&
            (!target || Check(link->SetPath(target), "SetPath")) &&
            Check(file->Save(Wide(out).data(), TRUE), "Save");
  if (ok) std::printf("wrote %s\n", out);
  if (file) file->Release();
  link->Release();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr,
                 "usage: make_links write FOLDER | product FOLDER | show FILE... | retarget IN OUT TARGET | "
                 "resave IN OUT\n");
    return 2;
  }
  if (FAILED(CoInitialize(nullptr))) return 3;
  bool ok = true;
  std::string mode = argv[1];
  if (mode == "write") {
    const WORD ctrlAltP = MAKEWORD('P', HOTKEYF_CONTROL | HOTKEYF_ALT);
    const LinkProps links[] = {
        // Every property the tool reads, on a target that does not exist.
        {"wine-full.lnk", false, "C:\\Program Files\\Pelmora Old\\Old.exe", "/run --fast \"two words\"",
         "Pelmora Old, the V3 launcher", "C:\\Program Files\\Pelmora Old\\Old.ico", 3,
         "C:\\Program Files\\Pelmora Old", "", ctrlAltP, SW_SHOWMINNOACTIVE},
        // Nothing but a target that does not exist.
        {"wine-target-only.lnk", false, "C:\\Program Files\\Pelmora Old\\Old.exe", "", "", "", 0, "", "",
         0, 0},
        // A target that exists in every prefix, with a maximised window.
        {"wine-existing-target.lnk", false, "C:\\windows\\notepad.exe", "readme.txt", "Notes", "",
         0, "C:\\windows", "", 0, SW_SHOWMAXIMIZED},
        // A relative path: Wine writes its string but not the HasRelativePath flag, so the file
        // contradicts itself (see tests/data/lnk/README.md).
        {"wine-relative-path.lnk", false, "C:\\windows\\notepad.exe", "readme.txt", "Notes", "", 0,
         "C:\\windows", ".\\notepad.exe", 0, 0},
        // Text outside the ANSI code page in every string.
        {"wine-unicode.lnk", true, "C:\\Pelmora \xCE\xA9mega\\caf\xC3\xA9.exe", "--name=\xCE\xA9",
         "\xCE\xA9mega caf\xC3\xA9", "C:\\Pelmora \xCE\xA9mega\\caf\xC3\xA9.exe", 0,
         "C:\\Pelmora \xCE\xA9mega", "", MAKEWORD(VK_F5, HOTKEYF_SHIFT), SW_SHOWNORMAL},
    };
    for (const LinkProps& p : links) ok = WriteLink(argv[2], p) && ok;
  } else if (mode == "product") {
    const LinkProps links[] = {
        {"Pelmora Heritage.LNK", false, "C:\\Program Files\\Pelmora 3.1\\Heritage.exe",
         "/library", "Your family history", "C:\\Program Files\\Pelmora 3.1\\icons.dll", 0,
         "C:\\Program Files\\Pelmora 3.1", "", MAKEWORD('H', HOTKEYF_CONTROL | HOTKEYF_ALT), 0},
        {"Pelmora Heritage UPKEEP.LNK", false, "C:\\Program Files\\Pelmora 3.1\\Upkeep.exe",
         "/check /repair", "Keeps the family library in order",
         "C:\\Program Files\\Pelmora 3.1\\icons.dll", 1, "C:\\Program Files\\Pelmora 3.1\\Data",
         "", MAKEWORD('U', HOTKEYF_CONTROL | HOTKEYF_ALT), 0},
        {"Pelmora Junior PLAYTIME.LNK", false, "C:\\Program Files\\Pelmora 3.1\\Junior.exe",
         "/play", "Games for the young ones", "C:\\Program Files\\Pelmora 3.1\\junior.ico", 0,
         "C:\\Program Files\\Pelmora 3.1\\Junior", "", 0, 0},
        {"Pelmora Junior DISCOVER.LNK", false, "C:\\Program Files\\Pelmora 3.1\\Junior.exe",
         "/discover", "Find out where you come from", "C:\\Program Files\\Pelmora 3.1\\junior.ico",
         2, "C:\\Program Files\\Pelmora 3.1\\Junior", "", MAKEWORD('D', HOTKEYF_CONTROL | HOTKEYF_ALT),
         0},
        {"Sweep Everything!.LNK", false, "C:\\Program Files\\Pelmora 3.1\\Sweep.exe", "/all",
         "Clears out temporary files", "C:\\Program Files\\Pelmora 3.1\\icons.dll", 4,
         "C:\\Program Files\\Pelmora 3.1", "", 0, 0},
        {"Signal Desk.LNK", false, "C:\\Program Files\\Pelmora 3.1\\Signal.exe", "--desk",
         "News from the Pelmora team", "C:\\Program Files\\Pelmora 3.1\\icons.dll", 5,
         "C:\\Program Files\\Pelmora 3.1", "", MAKEWORD('S', HOTKEYF_CONTROL | HOTKEYF_ALT), 0},
    };
    for (const LinkProps& p : links) ok = WriteLink(argv[2], p) && ok;
  } else if (mode == "retarget" && argc == 5) {
    ok = Retarget(argv[2], argv[3], argv[4]);
  } else if (mode == "resave" && argc == 4) {
    ok = Retarget(argv[2], argv[3], nullptr);
  } else if (mode == "show") {
    for (int i = 2; i < argc; ++i) ok = ShowLink(argv[i]) && ok;
  } else {
    ok = false;
  }
  CoUninitialize();
  return ok ? 0 : 1;
}
