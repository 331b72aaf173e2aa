// Path helpers over 8-bit text. They know double-byte code pages: the second byte of a
// double-byte character is never taken for a backslash or a colon, whatever its value.
#pragma once

#include "platform/text.h"

// 1-based position of the last character of `text` that is one of `delimiters` (and not the
// second byte of a double-byte character); 0 when there is none.
int LastDelimiter(const AnsiString& delimiters, const AnsiString& text);

// The folder part of a path: everything up to and including the last backslash or colon, or the
// empty text when there is neither. Nothing else is interpreted: quotes, blanks and a forward
// slash are ordinary characters.
AnsiString ExtractFilePath(const AnsiString& path);

// True when the character at 1-based `index` is a backslash in its own right.
bool IsPathDelimiter(const AnsiString& text, int index);

// `path` with a backslash added unless its last character already is one.
AnsiString IncludeTrailingBackslash(const AnsiString& path);
