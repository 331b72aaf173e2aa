// The one door from the tool's operations to the Windows API.
//
// On Windows this is the system's own headers. On a Linux host it is our emulation of the
// subset the operations call, declared with the same names and signatures, so the operations
// compile unchanged against either. Nothing outside platform/ asks which one it got.
#pragma once

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#else
#include "platform/emulated/windows_api_emulated.h"
#endif
