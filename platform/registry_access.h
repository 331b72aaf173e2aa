// TRegistry: the registry accessor the operations read and remove through.
//
// It holds a root (HKEY_CURRENT_USER until told otherwise), an access mask for OpenKey
// (KEY_ALL_ACCESS unless told otherwise) and at most one open key, which it closes when it
// opens another, when asked, and when it is destroyed. Key paths are below the root; one
// leading backslash is dropped.
#pragma once

#include "platform/holders.h"
#include "platform/text.h"
#include "platform/windows_api.h"

class TRegistry {
 public:
  TRegistry() = default;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  HKEY RootKey() const { return root_; }
  // Closes the open key, if any, and works below `root` from now on.
  void SetRootKey(HKEY root);
  REGSAM Access() const { return access_; }
  void SetAccess(REGSAM access) { access_ = access; }
  HKEY CurrentKey() const { return current_.get(); }

  // Opens `key` with Access(); never creates it. False when the key cannot be opened.
  bool OpenKey(AnsiString key);
  // Opens `key` for reading with the first mask that is granted: KEY_READ, then
  // STANDARD_RIGHTS_READ | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, then KEY_QUERY_VALUE.
  bool OpenKeyReadOnly(AnsiString key);
  void CloseKey() { current_.reset(); }

  // The open key's value `name` as text: empty when it is missing or has no data, the data up
  // to its first NUL for REG_SZ and REG_EXPAND_SZ (unexpanded). Raises ERegistryException
  // "Invalid data type for '<name>'" for any other type with data, and "Failed to get data for
  // '<name>'" when the data cannot be fetched after its size was learnt.
  AnsiString ReadString(const AnsiString& name);

  // Replace `strings` with the open key's value names / subkey names, in enumeration order.
  // A key whose counts cannot be queried lists nothing; an index that fails is left out.
  void GetValueNames(TStringList& strings);
  void GetKeyNames(TStringList& strings);

  bool DeleteValue(const AnsiString& name);
  // Deletes `key` (below the open key when one is open, else below the root) together with any
  // subkeys it still has; values are not removed first. True when the key itself was deleted;
  // an empty `key` is refused.
  bool DeleteKey(AnsiString key);

 private:
  enum class Names { Values, Subkeys };
  void ListNames(Names kind, TStringList& strings);

  HKEY root_ = HKEY_CURRENT_USER;
  REGSAM access_ = KEY_ALL_ACCESS;
  UniqueHkey current_;
};
