// The tool's whole run: clean up the uninstall entries of earlier versions, then repoint the
// product shortcuts of the installed version.
#pragma once

#include "platform/text.h"

// The installed version's uninstall entry, below HKEY_LOCAL_MACHINE; read, never changed.
extern const char* const currentUninstallKey;
// The entries earlier versions left, removed in this order.
extern const char* const earlierUninstallKeys[5];
// Display names of the shortcut files kept in the install folder, in the order they are done.
extern const char* const shortcutNames[6];

// Exit status of a run that an exception stopped (a registry value that is not text, lack of
// memory): the entry point turns it into this status, silently and without any error box.
constexpr int kExitStoppedByError = 1;

// The install folder named by an uninstall command: the folder of the quoted program when the
// command begins with a quotation mark, else everything up to and including the last backslash
// or colon; empty when there is none.
AnsiString InstallDirOf(const AnsiString& uninstallCommand);

// Runs the sequence once and returns 0 when it reaches its end, whatever the single steps
// achieved. Exceptions from the registry reader pass through uncaught.
int RunMainSequence();
