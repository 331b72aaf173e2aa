#include "registry/read_registry_string.h"

#include "platform/registry_access.h"

AnsiString ReadRegistryString(HKEY rootKey, AnsiString keyPath, AnsiString valueName) {
  TRegistry registry;
  registry.SetRootKey(rootKey ? rootKey : HKEY_LOCAL_MACHINE);
  AnsiString text;
  if (registry.OpenKeyReadOnly(keyPath)) {
    text = registry.ReadString(valueName);
    registry.CloseKey();
  }
  return text;
}
