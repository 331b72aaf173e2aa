#include "bench/native/emulated_desktop.h"

#include <stdlib.h>

#include <fstream>
#include <stdexcept>

#include "app/main_sequence.h"
#include "platform/emulated/control.h"
#include "platform/emulated/shell_link_file.h"

namespace benchdesk {

namespace {
std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }
}  // namespace

EmulatedDesktop::EmulatedDesktop() {
  emu::ResetMachine();
  emu::KeepJournal(false);
  char pattern[] = "/tmp/pelmora-bench-XXXXXX";
  if (!mkdtemp(pattern)) throw std::runtime_error("no temporary folder");
  drive_ = pattern;
  masters_ = drive_ / "masters";
  std::filesystem::create_directories(drive_ / "Users" / "bench" / "Desktop");
  std::filesystem::create_directories(masters_);
  emu::MapDrive('C', drive_.string());
  emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, kDesktop);
}

EmulatedDesktop::~EmulatedDesktop() {
  std::error_code error;
  std::filesystem::remove_all(drive_, error);
  emu::ResetMachine();
}

std::filesystem::path EmulatedDesktop::Host(const std::string& windowsPath) const {
  return emu::HostPath(windowsPath);
}

void EmulatedDesktop::WriteLink(const std::filesystem::path& hostPath, const std::string& tag) {
  emu::ShellLinkFile link;
  link.targetPath = Wide("C:\\Program Files\\Pelmora Old\\" + tag + ".exe");
  link.workingDirectory = Wide("C:\\Program Files\\Pelmora Old");
  link.arguments = Wide("/open " + tag);
  link.description = Wide("Starts " + tag);
  link.iconLocation = Wide("C:\\Program Files\\Pelmora Old\\icons.dll");
  link.iconIndex = 3;
  const std::vector<BYTE> bytes = emu::WriteShellLink(link);
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + hostPath.string());
}

void EmulatedDesktop::AddUnrelatedItems(int count) {
  const std::filesystem::path desktop = Host(kDesktop);
  for (int i = 0; i < count; ++i) {
    char name[64];
    if (i % 2 == 0) {
      std::snprintf(name, sizeof name, "Unrelated %05d.lnk", i);
      WriteLink(desktop / name, "unrelated");
    } else {
      std::snprintf(name, sizeof name, "notes %05d.txt", i);
      std::ofstream(desktop / name) << "a note\n";
    }
  }
}

void EmulatedDesktop::InstallShortcuts() {
  std::filesystem::create_directories(Host("C:\\Program Files") / "Pelmora V3.2");
  for (const char* name : shortcutNames) WriteLink(masters_ / (std::string(name) + ".LNK"), name);
  RestoreShortcuts();
}

void EmulatedDesktop::RestoreShortcuts() {
  const std::filesystem::path install = Host("C:\\Program Files") / "Pelmora V3.2";
  for (const char* name : shortcutNames) {
    const std::string file = std::string(name) + ".LNK";
    std::filesystem::copy_file(masters_ / file, install / file,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

}  // namespace benchdesk
