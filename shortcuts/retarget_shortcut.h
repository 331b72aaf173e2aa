#pragma once

#include "platform/text.h"

// Repoints the shortcut file installDir + shortcutName + ".LNK" at installDir + "Pelmora.EXE",
// with installDir as its working directory; every other property keeps its stored value.
// `installDir` is used as given: it should end in a backslash.
//
// The file is never edited where it lies: a copy in the current user's desktop directory is found
// again by its display name, changed and saved there, and then replaces the install-folder file
// in one step. Whatever the user had at that desktop path is moved aside for the while and put
// back under its own name; anything there that is not a plain file of its own (a link of any
// kind) makes the call leave this shortcut alone, as does a path too long for the calls that
// would take it. A read-only shortcut is left as it is too. A run that was stopped half-way is
// tidied up by the next one.
//
// Returns nothing and raises nothing that arises on the way: a shortcut that cannot be repointed
// stays as it was. Needs COM open on the calling thread for the whole call.
void RetargetShortcut(AnsiString shortcutName, AnsiString installDir);
