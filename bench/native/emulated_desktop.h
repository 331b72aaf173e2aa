// An emulated machine with a drive C: in a host folder of its own, a desktop directory on it and
// an install folder with the product's shortcuts, for the benchmarks of the shortcut work.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/windows_api.h"

namespace benchdesk {

class EmulatedDesktop {
 public:
  // Resets the emulated machine and maps C: to a fresh host folder.
  EmulatedDesktop();
  ~EmulatedDesktop();
  EmulatedDesktop(const EmulatedDesktop&) = delete;
  EmulatedDesktop& operator=(const EmulatedDesktop&) = delete;

  static constexpr const char* kDesktop = "C:\\Users\\bench\\Desktop";
  static constexpr const char* kInstallDir = "C:\\Program Files\\Pelmora V3.2\\";

  // Fills the desktop with `count` unrelated items: shortcuts and text files, alternately.
  void AddUnrelatedItems(int count);
  // Writes a shortcut file (host path) pointing at an old install folder.
  static void WriteLink(const std::filesystem::path& hostPath, const std::string& tag);
  std::filesystem::path Host(const std::string& windowsPath) const;
  // The six product shortcuts in the install folder, each as it was before any run.
  void InstallShortcuts();
  void RestoreShortcuts();

 private:
  std::filesystem::path drive_;
  std::filesystem::path masters_;
};

}  // namespace benchdesk
