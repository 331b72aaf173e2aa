// The tool's effect done directly with the platform's own calls, as a yardstick for the whole
// tool's time: when the V3.2 uninstall entry has a display name, RegDeleteTreeA on the five
// earlier entries; then, for each of the six shortcuts in the install folder named by the
// uninstall command, Load, SetPath, SetWorkingDirectory and Save in place.
//
// It keeps none of the tool's safeguards (no desktop copy, no one-step replace, no checks of what
// stands where): it is what the work costs when nothing else is done.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <string>

namespace {

const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
const char* const kEarlier[] = {"Pelmora V1.0", "Pelmora V1.1", "Pelmora V2.0", "Pelmora V3.0",
                                "Pelmora V3.1"};
const char* const kShortcuts[] = {"Pelmora Heritage",        "Pelmora Heritage UPKEEP",
                                  "Pelmora Junior PLAYTIME", "Pelmora Junior DISCOVER",
                                  "Sweep Everything!",       "Signal Desk"};

std::string Text(const char* name) {
  char data[1024];
  DWORD size = sizeof data;
  if (RegGetValueA(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + "Pelmora V3.2").c_str(), name,
                   RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return std::string();
  return data;
}

std::wstring Wide(const std::string& text) {
  wchar_t wide[MAX_PATH];
  if (!MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide, MAX_PATH)) return std::wstring();
  return wide;
}

void Repoint(const std::string& path, const std::string& folder) {
  IShellLinkA* link = nullptr;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                              reinterpret_cast<void**>(&link))))
    return;
  IPersistFile* file = nullptr;
  if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
    const std::wstring widePath = Wide(path);
    if (SUCCEEDED(file->Load(widePath.c_str(), STGM_READ)) &&
        SUCCEEDED(link->SetPath((folder + "Pelmora.EXE").c_str())) &&
        SUCCEEDED(link->SetWorkingDirectory(folder.c_str())))
      file->Save(widePath.c_str(), TRUE);
    file->Release();
  }
  link->Release();
}

}  // namespace

int main() {
  if (!Text("DisplayName").empty())
    for (const char* entry : kEarlier)
      RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kUninstall) + entry).c_str());

  const std::string command = Text("UninstallString");
  const std::string::size_type cut = command.find_last_of("\\:");
  if (cut == std::string::npos) return 0;
  const std::string folder = command.substr(0, cut + 1);

  CoInitialize(nullptr);
  for (const char* name : kShortcuts) Repoint(folder + name + ".LNK", folder);
  CoUninitialize();
  return 0;
}
