#include "platform/wide_text.h"

#include <vector>

WideString AsciiWide(const char* ascii) {
  WideString wide;
  for (; *ascii; ++ascii) wide += static_cast<WCHAR>(static_cast<unsigned char>(*ascii));
  return wide;
}

bool AnsiToWide(const AnsiString& text, std::size_t capacity, WideString* out) {
  std::vector<WCHAR> buffer(capacity);
  const int written = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, buffer.data(),
                                          static_cast<int>(capacity));
  if (written <= 0) return false;
  out->assign(buffer.data(), static_cast<std::size_t>(written) - 1);
  return true;
}

AnsiString WideToAnsi(const WideString& text) {
  const int size = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  if (size <= 0) return AnsiString();
  std::vector<char> buffer(static_cast<std::size_t>(size));
  if (WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer.data(), size, nullptr, nullptr) <= 0)
    return AnsiString();
  return AnsiString(buffer.data());
}
