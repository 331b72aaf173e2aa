#include "tests/support/planting.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/windows_api.h"

namespace plant {
namespace {

// Wine's own exports for the host's view of a path; absent on Windows.
using ToHostPath = char*(__cdecl*)(LPCWSTR);
using FromHostPath = WCHAR*(__cdecl*)(const char*);

ToHostPath WineToHost() {
  return reinterpret_cast<ToHostPath>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
}

std::string HostPathOf(const std::string& windowsPath) {
  const ToHostPath toHost = WineToHost();
  if (!toHost) return {};
  std::vector<WCHAR> wide(windowsPath.size() + 1);
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(),
                      static_cast<int>(wide.size()));
  char* host = toHost(wide.data());
  if (!host) return {};
  std::string path = host;
  HeapFree(GetProcessHeap(), 0, host);
  return path;
}

// Runs a host program (Wine starts a host executable named by its Windows path as a host
// process) and waits until `done` holds or a few seconds have passed: Wine does not report the
// exit of a host process.
template <class Done>
bool RunOnHost(const std::string& program, const std::vector<std::string>& arguments, Done done) {
  const auto fromHost = reinterpret_cast<FromHostPath>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_dos_file_name")));
  if (!fromHost) return false;
  WCHAR* wideProgram = fromHost(program.c_str());
  if (!wideProgram) return false;
  char windowsProgram[MAX_PATH] = "";
  WideCharToMultiByte(CP_ACP, 0, wideProgram, -1, windowsProgram, MAX_PATH, nullptr, nullptr);
  HeapFree(GetProcessHeap(), 0, wideProgram);

  std::string commandLine = program;
  for (const std::string& argument : arguments) commandLine += " \"" + argument + "\"";
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(windowsProgram, mutableLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process))
    return false;
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int tries = 0; tries < 100 && !done(); ++tries) Sleep(50);
  return done();
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool SymbolicLink(const std::string& at, const std::string& target) {
  const DWORD targetAttributes = GetFileAttributesA(target.c_str());
  const DWORD flags = targetAttributes != INVALID_FILE_ATTRIBUTES &&
                              (targetAttributes & FILE_ATTRIBUTE_DIRECTORY)
                          ? SYMBOLIC_LINK_FLAG_DIRECTORY
                          : 0;
  if (CreateSymbolicLinkA(at.c_str(), target.c_str(), flags) && Exists(at)) return true;
  const std::string hostAt = HostPathOf(at), hostTarget = HostPathOf(target);
  if (hostAt.empty() || hostTarget.empty()) return false;
  return RunOnHost("/bin/ln", {"-s", hostTarget, hostAt}, [&] { return Exists(at); });
}

bool HardLink(const std::string& at, const std::string& existing) {
  return CreateHardLinkA(at.c_str(), existing.c_str(), nullptr) && Exists(at);
}

void RemoveLink(const std::string& at) {
  const std::string hostAt = HostPathOf(at);
  if (hostAt.empty()) {
    // Windows: the link itself goes, whatever it names.
    if (!RemoveDirectoryA(at.c_str())) DeleteFileA(at.c_str());
    return;
  }
  // A hard link is a name like any other; a host symbolic link must go on the host.
  RunOnHost("/bin/rm", {"-f", hostAt}, [&] {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(at.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return true;
    FindClose(search);
    return false;
  });
}

}  // namespace plant
