// UTF-16 text as the shell interfaces take and give it, and the conversions to and from the
// ANSI code page. Every conversion uses CP_ACP, no flags and the whole zero-terminated string.
#pragma once

#include <cstddef>
#include <string>

#include "platform/text.h"
#include "platform/windows_api.h"

using WideString = std::basic_string<WCHAR>;

// ASCII text as wide text, for the fixed pieces the operations add ("\\", ".lnk").
WideString AsciiWide(const char* ascii);

// `text` converted, when it fits in `capacity` code units with its terminator; false (and `out`
// untouched) when it does not fit or cannot be converted.
bool AnsiToWide(const AnsiString& text, std::size_t capacity, WideString* out);

// `text` converted to the ANSI code page; the empty text when it cannot be converted.
AnsiString WideToAnsi(const WideString& text);
