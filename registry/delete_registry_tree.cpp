#include "registry/delete_registry_tree.h"

#include <memory>

#include "platform/registry_access.h"

bool DeleteRegistryTree(AnsiString keyPath) {
  if (!keyPath.empty() && keyPath[0] == '\\') keyPath.erase(0, 1);
  if (keyPath.empty()) return false;

  // Created list first, accessor second, and released in that same order at the end.
  auto names = std::make_unique<TStringList>();
  auto registry = std::make_unique<TRegistry>();
  registry->SetRootKey(HKEY_LOCAL_MACHINE);
  bool success = true;

  // Every level opens its key by the full path from the root, and keeps it open while its
  // subkeys are removed.
  if (registry->OpenKey(keyPath)) {
    registry->GetValueNames(*names);  // a snapshot: removals below do not change it
    try {
      for (int i = 0; i < names->Count(); ++i) registry->DeleteValue((*names)[i]);
    } catch (...) {
      success = false;
    }

    if (success) {
      registry->GetKeyNames(*names);
      for (int i = 0; i < names->Count(); ++i) {
        if (!DeleteRegistryTree(keyPath + "\\" + (*names)[i])) {
          success = false;
          break;
        }
      }
      registry->CloseKey();
      if (success) {
        try {
          registry->DeleteKey(keyPath);  // with no key open: below HKEY_LOCAL_MACHINE
        } catch (...) {
          success = false;
        }
      }
    }
  }

  names.reset();
  registry.reset();
  return success;
}
