#include "tests/support/lane.h"

#include <stdlib.h>

#include "platform/emulated/control.h"

namespace lane {
namespace {
// One host folder per test process stands for drive C:.
const std::filesystem::path& DriveC() {
  static const std::filesystem::path root = [] {
    char pattern[] = "/tmp/pelmora-emulated-XXXXXX";
    return std::filesystem::path(mkdtemp(pattern));
  }();
  return root;
}

void MapDrives() {
  emu::MapDrive('C', DriveC().string());
  emu::MapDrive('Z', "/");
}
}  // namespace

bool Emulated() { return true; }

void StartFresh() {
  emu::ResetMachine();
  std::filesystem::remove_all(DriveC());
  std::filesystem::create_directories(DriveC());
  MapDrives();
}

void RestartProcess() {
  const std::string image = (DriveC().parent_path() / (DriveC().filename().string() + ".registry")).string();
  emu::SaveRegistry(image);
  emu::ResetMachine();
  emu::LoadRegistry(image);
  std::filesystem::remove(image);
  MapDrives();
}
void StopFaults() { emu::ClearFaults(); }
int OpenRegistryHandles() { return emu::OpenRegistryHandles(); }
int ComInitDepth() { return emu::ComInitDepth(); }
int LiveComObjects() { return emu::LiveComObjects(); }
int OutstandingTaskAllocations() { return emu::OutstandingTaskAllocations(); }
int OutstandingLocalAllocations() { return emu::OutstandingLocalAllocations(); }

int OpenFileHandles() { return emu::OpenFileHandles(); }

std::string PrepareDesktop() {
  const std::string desktop = "C:\\Users\\tester\\Desktop";
  std::filesystem::create_directories(DriveC() / "Users" / "tester" / "Desktop");
  emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, desktop);
  return desktop;
}

std::filesystem::path FsPath(const std::string& windowsPath) {
  return std::filesystem::path(emu::HostPath(windowsPath));
}
bool KnownPlatformGap(const std::string&) { return false; }
}  // namespace lane
