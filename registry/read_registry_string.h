#pragma once

#include "platform/text.h"
#include "platform/windows_api.h"

// Reads value `valueName` of key `keyPath` below `rootKey` (0 means HKEY_LOCAL_MACHINE) as text.
// Opens the key for reading only and never writes.
// Returns: the text up to its first NUL; the empty text when the key cannot be opened, the value
// is missing or it has no data (of any type).
// Raises: ERegistryException "Invalid data type for '<valueName>'" when the value holds data of
// a type other than REG_SZ or REG_EXPAND_SZ, and "Failed to get data for '<valueName>'" when the
// data cannot be fetched after its size was learnt. Nothing is caught.
AnsiString ReadRegistryString(HKEY rootKey, AnsiString keyPath, AnsiString valueName);
