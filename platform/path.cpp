#include "platform/path.h"

#include <cstring>

#include "platform/windows_api.h"

namespace {

// Whether the byte at 0-based `index` starts a character (is not a trail byte).
bool StartsCharacter(const AnsiString& text, std::size_t index) {
  std::size_t i = 0;
  while (i < index) {
    const bool lead = IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size();
    i += lead ? 2 : 1;
  }
  return i == index;
}

}  // namespace

int LastDelimiter(const AnsiString& delimiters, const AnsiString& text) {
  int last = 0;
  for (std::size_t i = 0; i < text.size();) {
    const bool lead = IsDBCSLeadByte(static_cast<BYTE>(text[i])) && i + 1 < text.size();
    if (!lead && text[i] != '\0' && std::strchr(delimiters.c_str(), text[i]))
      last = static_cast<int>(i) + 1;
    i += lead ? 2 : 1;
  }
  return last;
}

AnsiString ExtractFilePath(const AnsiString& path) {
  return path.substr(0, static_cast<std::size_t>(LastDelimiter("\\:", path)));
}

bool IsPathDelimiter(const AnsiString& text, int index) {
  if (index < 1 || static_cast<std::size_t>(index) > text.size()) return false;
  const std::size_t i = static_cast<std::size_t>(index) - 1;
  return text[i] == '\\' && StartsCharacter(text, i);
}

AnsiString IncludeTrailingBackslash(const AnsiString& path) {
  if (IsPathDelimiter(path, static_cast<int>(path.size()))) return path;
  return path + "\\";
}
