#pragma once

#include "platform/text.h"

// Removes key `keyPath` below HKEY_LOCAL_MACHINE with everything in it, bottom-up: at each level
// its values first, then each subkey completely, then the key itself.
// Returns: true unless an exception arose while a value was removed or a key deleted, at this
// level or below; such an exception is absorbed, and that level and every level above it stop
// (values already removed stay removed). True does not mean the key is gone: registry calls that
// merely fail are not counted, and a key that cannot be opened counts as done.
// Refuses: an empty path (which would name HKEY_LOCAL_MACHINE itself): returns false and
// changes nothing.
// Raises: only what arises elsewhere (lack of memory) passes to the caller.
bool DeleteRegistryTree(AnsiString keyPath);
