#include "app/main_sequence.h"

#include "platform/holders.h"
#include "platform/path.h"
#include "registry/delete_registry_tree.h"
#include "registry/read_registry_string.h"
#include "shortcuts/retarget_shortcut.h"

const char* const currentUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmora V3.2";

const char* const earlierUninstallKeys[5] = {
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmora V1.0",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmora V1.1",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmora V2.0",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmora V3.0",
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelmora V3.1",
};

const char* const shortcutNames[6] = {
    "Pelmora Heritage",        "Pelmora Heritage UPKEEP", "Pelmora Junior PLAYTIME",
    "Pelmora Junior DISCOVER", "Sweep Everything!",       "Signal Desk",
};

AnsiString InstallDirOf(const AnsiString& uninstallCommand) {
  // A quoted program path (the usual form when the folder has blanks in it) is cut inside its
  // quotes; a folder beginning with a quotation mark would name nothing.
  if (!uninstallCommand.empty() && uninstallCommand[0] == '"') {
    const AnsiString::size_type closing = uninstallCommand.find('"', 1);
    return ExtractFilePath(uninstallCommand.substr(1, closing == AnsiString::npos
                                                          ? AnsiString::npos
                                                          : closing - 1));
  }
  return ExtractFilePath(uninstallCommand);
}

int RunMainSequence() {
  AnsiString installDir;

  const AnsiString displayName = ReadRegistryString(0, currentUninstallKey, "DisplayName");
  if (!displayName.empty()) {
    for (const char* keyPath : earlierUninstallKeys) DeleteRegistryTree(keyPath);
  }

  installDir = InstallDirOf(ReadRegistryString(0, currentUninstallKey, "UninstallString"));

  if (!installDir.empty()) {
    // The one COM scope of the run: every shortcut is repointed inside it, and the links the
    // lookup hands back stay usable only because this scope is still open.
    ComScope com;
    for (const char* shortcutName : shortcutNames) RetargetShortcut(shortcutName, installDir);
  }
  return 0;
}
