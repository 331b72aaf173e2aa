#include "tests/support/lane.h"

#include <gtest/gtest.h>

#include "platform/windows_api.h"

namespace lane {
bool Emulated() { return false; }
void StartFresh() {}
void StopFaults() {}
void RestartProcess() { ADD_FAILURE() << "a real process cannot be restarted in place"; }
int OpenRegistryHandles() { return -1; }
int ComInitDepth() {
  // The first CoInitialize of a thread answers S_OK, a nested one S_FALSE.
  const HRESULT hr = CoInitialize(nullptr);
  if (SUCCEEDED(hr)) CoUninitialize();
  return hr == S_OK ? 0 : 1;
}
int LiveComObjects() { return -1; }
int OutstandingTaskAllocations() { return -1; }
int OutstandingLocalAllocations() { return -1; }

int OpenFileHandles() { return -1; }

std::string PrepareDesktop() {
  char path[MAX_PATH] = "";
  SHGetSpecialFolderPathA(nullptr, path, CSIDL_DESKTOPDIRECTORY, TRUE);
  return path;
}

std::filesystem::path FsPath(const std::string& windowsPath) {
  return std::filesystem::path(windowsPath);
}
bool KnownPlatformGap(const std::string& name) {
  // Wine's shell link writes the show command to a file but reads it back as SW_SHOWNORMAL.
  return name == "shell link reads the show command back";
}
}  // namespace lane
