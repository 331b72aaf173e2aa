#pragma once

#include "platform/holders.h"
#include "platform/text.h"
#include "platform/windows_api.h"

// Finds the shortcut whose in-folder display name is `shortcutName` (exactly, case included)
// among the non-folder items of special folder `folderId`, and opens it as a shell link; when
// none matches and `createIfMissing` is set, creates "<folder>\<shortcutName>.lnk" instead, with
// `targetPath`, `arguments`, `iconPath`/`iconIndex` and the target's folder as working directory.
//
// Found or created: `shortcutPath` receives the file's full path and `*shellLink` one reference
// to the link (released here when `shellLink` is null). Of several matches the last one listed
// wins. Not found and not creating: `shortcutPath` becomes empty and `*shellLink` is untouched.
// Raises `Exception` when the shell link cannot be had, loaded or made; neither output is
// written then. Names longer than the shell's buffers never match; a path that would not fit
// is not created.
//
// The call brackets its work with a COM scope of its own and closes it before it returns, so a
// caller keeping the link must hold COM open on the thread for as long as it uses the link.
void OpenFolderShortcut(HWND ownerWindow, AnsiString targetPath, AnsiString arguments,
                        AnsiString iconPath, int iconIndex, AnsiString shortcutName, int folderId,
                        bool createIfMissing, ComPtr<IShellLinkA>* shellLink,
                        AnsiString& shortcutPath);
