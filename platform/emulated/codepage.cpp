// The emulated ANSI code page: 1252 by default, 932 (double-byte) on request. Conversions and
// the lead-byte table come from the host's iconv, so the emulation does not hand-roll a table.
#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/emulated/control.h"
#include "platform/emulated/machine.h"

namespace emu {
namespace {

constexpr char16_t kDefaultWide1252 = 0;  // 1252: an unmapped byte becomes U+00xx
constexpr char16_t kDefaultWide932 = 0x30FB;

// What iconv made of one character, remembered: each character converts on its own (the
// converter is reset before each one), so its result never depends on its neighbours, and a
// run converts the same few characters over and over (every registry path is measured).
// An entry is 0 while unknown, kFailed when the code page has no such character, else the
// count of output units in its top bits and the units (one UTF-16 unit, or one or two bytes)
// in its low 16.
using Memo = std::uint32_t;
constexpr Memo kFailed = 0xFFFFFFFFu;
constexpr Memo Known(unsigned count, unsigned units) { return count << 16 | units; }

struct CodePageState {
  unsigned codePage = 1252;
  bool lead[256] = {};
  iconv_t toWide = reinterpret_cast<iconv_t>(-1);
  iconv_t fromWide = reinterpret_cast<iconv_t>(-1);
  std::vector<Memo> toWideMemo;    // by byte, or by lead byte * 256 + trail byte + 256
  std::vector<Memo> fromWideMemo;  // by UTF-16 unit (a surrogate pair is never remembered)
};

CodePageState& State() {
  static CodePageState state;
  return state;
}

const char* IconvName(unsigned codePage) { return codePage == 932 ? "CP932" : "CP1252"; }

void Close(CodePageState& state) {
  if (state.toWide != reinterpret_cast<iconv_t>(-1)) iconv_close(state.toWide);
  if (state.fromWide != reinterpret_cast<iconv_t>(-1)) iconv_close(state.fromWide);
  state.toWide = state.fromWide = reinterpret_cast<iconv_t>(-1);
  state.toWideMemo.clear();
  state.fromWideMemo.clear();
}

void Open(CodePageState& state) {
  if (state.toWide != reinterpret_cast<iconv_t>(-1)) return;
  state.toWide = iconv_open("UTF-16LE", IconvName(state.codePage));
  state.fromWide = iconv_open(IconvName(state.codePage), "UTF-16LE");
  if (state.toWide == reinterpret_cast<iconv_t>(-1) ||
      state.fromWide == reinterpret_cast<iconv_t>(-1))
    throw std::runtime_error("the host's iconv lacks the emulated code page");
  // A byte is a lead byte when iconv finds it, alone, to be an incomplete character.
  for (int b = 0; b < 256; ++b) {
    char in = static_cast<char>(b);
    char* inPtr = &in;
    size_t inLeft = 1;
    char out[8];
    char* outPtr = out;
    size_t outLeft = sizeof out;
    iconv(state.toWide, nullptr, nullptr, nullptr, nullptr);
    const size_t rc = iconv(state.toWide, &inPtr, &inLeft, &outPtr, &outLeft);
    state.lead[b] = rc == static_cast<size_t>(-1) && errno == EINVAL;
  }
  state.toWideMemo.assign(256 + 65536, 0);
  state.fromWideMemo.assign(65536, 0);
}

// Converts one character's bytes; false when the code page has no such character.
bool Convert(iconv_t cd, const char* in, size_t inSize, std::string* out) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  char* inPtr = const_cast<char*>(in);
  size_t inLeft = inSize;
  char buffer[16];
  char* outPtr = buffer;
  size_t outLeft = sizeof buffer;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1) || inLeft != 0)
    return false;
  out->append(buffer, sizeof buffer - outLeft);
  return true;
}

std::u16string ToWide(const char* text, size_t size) {
  auto& state = State();
  Open(state);
  std::u16string wide;
  for (size_t i = 0; i < size;) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = (state.lead[byte] && i + 1 < size) ? 2 : 1;
    Memo& memo = state.toWideMemo[length == 1 ? byte
                                              : 256 + (byte << 8 |
                                                       static_cast<unsigned char>(text[i + 1]))];
    if (memo != 0 && memo != kFailed) {
      wide += static_cast<char16_t>(memo & 0xFFFF);
      i += length;
      continue;
    }
    std::string utf16;
    if (memo != kFailed && Convert(state.toWide, text + i, length, &utf16)) {
      for (size_t k = 0; k + 1 < utf16.size(); k += 2)
        wide += static_cast<char16_t>(static_cast<unsigned char>(utf16[k]) |
                                      static_cast<unsigned char>(utf16[k + 1]) << 8);
      if (utf16.size() == 2) memo = Known(1, wide.back());
    } else {
      memo = kFailed;
      wide += state.codePage == 932 ? kDefaultWide932
                                    : static_cast<char16_t>(kDefaultWide1252 + byte);
    }
    i += length;
  }
  return wide;
}

std::string FromWide(const char16_t* text, size_t size, BOOL* usedDefault) {
  auto& state = State();
  Open(state);
  std::string narrow;
  for (size_t i = 0; i < size;) {
    const size_t length =
        (text[i] >= 0xD800 && text[i] < 0xDC00 && i + 1 < size && text[i + 1] >= 0xDC00 &&
         text[i + 1] < 0xE000)
            ? 2
            : 1;
    Memo unused = 0;
    Memo& memo = length == 1 ? state.fromWideMemo[text[i]] : unused;
    if (memo == kFailed) {
      narrow += '?';
      if (usedDefault) *usedDefault = TRUE;
      i += length;
      continue;
    }
    if (memo != 0) {
      if (memo >> 16 == 2) narrow += static_cast<char>(memo >> 8 & 0xFF);
      narrow += static_cast<char>(memo & 0xFF);
      i += length;
      continue;
    }
    char utf16[4];
    for (size_t k = 0; k < length; ++k) {
      utf16[2 * k] = static_cast<char>(text[i + k] & 0xFF);
      utf16[2 * k + 1] = static_cast<char>(text[i + k] >> 8);
    }
    const size_t before = narrow.size();
    if (!Convert(state.fromWide, utf16, 2 * length, &narrow)) {
      narrow += '?';
      if (usedDefault) *usedDefault = TRUE;
      memo = kFailed;
    } else if (narrow.size() - before == 1) {
      memo = Known(1, static_cast<unsigned char>(narrow[before]));
    } else if (narrow.size() - before == 2) {
      memo = Known(2, static_cast<unsigned char>(narrow[before]) << 8 |
                          static_cast<unsigned char>(narrow[before + 1]));
    }
    i += length;
  }
  return narrow;
}

bool KnownCodePage(UINT codePage) {
  return codePage == CP_ACP || codePage == State().codePage;
}

}  // namespace

namespace detail {

// As ToWide(text).size(), without building the text: every registry call measures its path.
std::size_t WideLength(const std::string& text) {
  auto& state = State();
  Open(state);
  std::size_t units = 0;
  for (size_t i = 0; i < text.size();) {
    const auto byte = static_cast<unsigned char>(text[i]);
    const size_t length = (state.lead[byte] && i + 1 < text.size()) ? 2 : 1;
    const Memo memo =
        state.toWideMemo[length == 1 ? byte
                                     : 256 + (byte << 8 | static_cast<unsigned char>(text[i + 1]))];
    units += memo != 0 && memo != kFailed ? 1 : ToWide(text.data() + i, length).size();
    i += length;
  }
  return units;
}

bool IsLeadByte(unsigned char byte) {
  auto& state = State();
  Open(state);
  return state.lead[byte];
}

std::string FoldCase(const std::string& text) {
  auto& state = State();
  Open(state);
  std::string folded = text;
  for (size_t i = 0; i < folded.size(); ++i) {
    const auto byte = static_cast<unsigned char>(folded[i]);
    if (state.lead[byte]) {
      ++i;  // the trail byte of a double-byte character is not a letter
    } else if (byte >= 'a' && byte <= 'z') {
      folded[i] = static_cast<char>(byte - 'a' + 'A');
    }
  }
  return folded;
}

std::u16string AnsiToWide(const std::string& text) { return ToWide(text.data(), text.size()); }

std::string WideToAnsi(const std::u16string& text) {
  return FromWide(text.data(), text.size(), nullptr);
}

std::string AnsiToUtf8(const std::string& text) {
  const std::u16string wide = AnsiToWide(text);
  std::string utf8;
  for (size_t i = 0; i < wide.size(); ++i) {
    char32_t c = wide[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
        wide[i + 1] < 0xE000)
      c = 0x10000 + ((c - 0xD800) << 10) + (wide[++i] - 0xDC00);
    if (c < 0x80) {
      utf8 += static_cast<char>(c);
    } else if (c < 0x800) {
      utf8 += static_cast<char>(0xC0 | (c >> 6));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      utf8 += static_cast<char>(0xE0 | (c >> 12));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      utf8 += static_cast<char>(0xF0 | (c >> 18));
      utf8 += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      utf8 += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      utf8 += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return utf8;
}

std::string Utf8ToAnsi(const std::string& text) {
  std::u16string wide;
  for (size_t i = 0; i < text.size();) {
    const auto b = static_cast<unsigned char>(text[i]);
    const int extra = b < 0x80 ? 0 : b < 0xE0 ? 1 : b < 0xF0 ? 2 : 3;
    char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
    size_t k = 1;
    for (; k <= static_cast<size_t>(extra) && i + k < text.size(); ++k)
      c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += k;
    if (c >= 0x10000) {
      c -= 0x10000;
      wide += static_cast<char16_t>(0xD800 + (c >> 10));
      wide += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
    } else {
      wide += static_cast<char16_t>(c);
    }
  }
  return WideToAnsi(wide);
}

void ResetCodePage() {
  auto& state = State();
  // Already the default: the converters and what they remembered stay valid. Machines are reset
  // thousands of times in a run of the tests; setting up a code page takes hundreds of
  // conversions.
  if (state.codePage == 1252) return;
  Close(state);
  state.codePage = 1252;
}

}  // namespace detail

void SetAnsiCodePage(unsigned codePage) {
  if (codePage != 1252 && codePage != 932)
    throw std::invalid_argument("the emulation knows code pages 1252 and 932");
  auto& state = State();
  Close(state);
  state.codePage = codePage;
  Open(state);
}

}  // namespace emu

using emu::detail::Call;

UINT WINAPI GetACP(void) {
  Call call("GetACP", "");
  return static_cast<UINT>(call.done(static_cast<long>(emu::State().codePage)));
}

BOOL WINAPI GetCPInfo(UINT CodePage, LPCPINFO lpCPInfo) {
  Call call("GetCPInfo", "", std::to_string(CodePage));
  if (call.forced()) return static_cast<BOOL>(call.done(call.forcedResult()));
  if (!lpCPInfo || !emu::KnownCodePage(CodePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<BOOL>(call.done(FALSE));
  }
  std::memset(lpCPInfo, 0, sizeof *lpCPInfo);
  lpCPInfo->DefaultChar[0] = '?';
  auto& state = emu::State();
  emu::Open(state);
  if (state.codePage == 932) {
    lpCPInfo->MaxCharSize = 2;
    // Lead-byte ranges as (first, last) pairs, ended by a zero pair.
    int pair = 0;
    for (int b = 0; b < 256 && pair < MAX_LEADBYTES / 2 - 1; ++b) {
      if (!state.lead[b] || (b > 0 && state.lead[b - 1])) continue;
      int last = b;
      while (last + 1 < 256 && state.lead[last + 1]) ++last;
      lpCPInfo->LeadByte[2 * pair] = static_cast<BYTE>(b);
      lpCPInfo->LeadByte[2 * pair + 1] = static_cast<BYTE>(last);
      ++pair;
    }
  } else {
    lpCPInfo->MaxCharSize = 1;
  }
  return static_cast<BOOL>(call.done(TRUE));
}

BOOL WINAPI IsDBCSLeadByte(BYTE TestChar) {
  auto& state = emu::State();
  emu::Open(state);
  return state.lead[TestChar] ? TRUE : FALSE;
}

int WINAPI MultiByteToWideChar(UINT CodePage, DWORD, LPCCH lpMultiByteStr, int cbMultiByte,
                               LPWSTR lpWideCharStr, int cchWideChar) {
  Call call("MultiByteToWideChar", "", lpMultiByteStr ? lpMultiByteStr : "");
  if (call.forced()) return static_cast<int>(call.done(call.forcedResult()));
  if (!lpMultiByteStr || cbMultiByte == 0 || cbMultiByte < -1 || cchWideChar < 0 ||
      (cchWideChar > 0 && !lpWideCharStr) || !emu::KnownCodePage(CodePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<int>(call.done(0));
  }
  const size_t size = cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1
                                        : static_cast<size_t>(cbMultiByte);
  const std::u16string wide = emu::ToWide(lpMultiByteStr, size);
  if (cchWideChar == 0) return static_cast<int>(call.done(static_cast<long>(wide.size())));
  if (wide.size() > static_cast<size_t>(cchWideChar)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return static_cast<int>(call.done(0));
  }
  std::memcpy(lpWideCharStr, wide.data(), wide.size() * sizeof(WCHAR));
  return static_cast<int>(call.done(static_cast<long>(wide.size())));
}

int WINAPI WideCharToMultiByte(UINT CodePage, DWORD, LPCWCH lpWideCharStr, int cchWideChar,
                               LPSTR lpMultiByteStr, int cbMultiByte, LPCCH,
                               LPBOOL lpUsedDefaultChar) {
  Call call("WideCharToMultiByte", "");
  if (call.forced()) return static_cast<int>(call.done(call.forcedResult()));
  if (!lpWideCharStr || cchWideChar == 0 || cchWideChar < -1 || cbMultiByte < 0 ||
      (cbMultiByte > 0 && !lpMultiByteStr) || !emu::KnownCodePage(CodePage)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return static_cast<int>(call.done(0));
  }
  size_t size = static_cast<size_t>(cchWideChar);
  if (cchWideChar == -1) {
    size = 0;
    while (lpWideCharStr[size]) ++size;
    ++size;
  }
  if (lpUsedDefaultChar) *lpUsedDefaultChar = FALSE;
  const std::string narrow = emu::FromWide(lpWideCharStr, size, lpUsedDefaultChar);
  if (cbMultiByte == 0) return static_cast<int>(call.done(static_cast<long>(narrow.size())));
  if (narrow.size() > static_cast<size_t>(cbMultiByte)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return static_cast<int>(call.done(0));
  }
  std::memcpy(lpMultiByteStr, narrow.data(), narrow.size());
  return static_cast<int>(call.done(static_cast<long>(narrow.size())));
}

namespace {
thread_local DWORD lastError = 0;
}

DWORD WINAPI GetLastError(void) {
  Call call("GetLastError", "");
  return static_cast<DWORD>(call.done(static_cast<long>(lastError)));
}

void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

namespace emu::detail {
void ResetLastError() { lastError = 0; }
}  // namespace emu::detail
