// Link files written by the emulated platform (tests/data/lnk/emulated-*.lnk) load through the
// platform's own shell link object with every property they were written with.
//
// Only the Windows API is used, so on Wine this shows that what the emulation writes is what the
// system reads. Strings are compared in the ANSI code page, as the tool sees them through
// IShellLinkA: each expectation is the platform's own conversion of the UTF-16 text stored.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/windows_api.h"
#include "tests/support/lane.h"
#include "tests/support/platform_test.h"

namespace {

// The fixture folder as a Windows path: Wine shows the host's root as drive Z:.
std::string FixturePath(const std::string& name) {
  std::string source = __FILE__;
  std::string path = "Z:" + source.substr(0, source.rfind("tests/shell_link_interop_test.cpp")) + "tests/data/lnk/" + name;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::vector<WCHAR> Wide(const std::string& ansi) {
  int n = MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, nullptr, 0);
  std::vector<WCHAR> out(n > 0 ? n : 1);
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, ansi.c_str(), -1, out.data(), n);
  return out;
}

// UTF-16 text (a u"" literal: 16-bit units on every platform) in the ANSI code page.
std::string Ansi(const char16_t* utf16) {
  const WCHAR* text = reinterpret_cast<const WCHAR*>(utf16);
  int n = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 1, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(out.find('\0'));
  return out;
}

struct Fixture {
  const char* file;
  const char16_t* target;
  const char16_t* arguments;
  const char16_t* description;
  const char16_t* iconLocation;
  int iconIndex;
  const char16_t* workingDirectory;
  WORD hotKey;
  int showCommand;
};

constexpr WORD Hotkey(BYTE key, WORD modifiers) { return static_cast<WORD>(key | modifiers << 8); }

// What tests/native/shell_link_file_test.cpp wrote into each file (tests/data/lnk/README.md).
const Fixture kFixtures[] = {
    {"emulated-full.lnk", u"C:\\Program Files\\Pelmora\\Pelmora.exe", u"/run --fast \"two words\"",
     u"Pelmora, the V4 launcher", u"C:\\Program Files\\Pelmora\\Pelmora.ico", 2,
     u"C:\\Program Files\\Pelmora", Hotkey('Q', HOTKEYF_CONTROL | HOTKEYF_SHIFT),
     SW_SHOWMINNOACTIVE},
    // A LinkInfo and nothing else: no ID list, no strings.
    {"emulated-target-only.lnk", u"C:\\Program Files\\Pelmora\\Pelmora.exe", u"", u"", u"", 0, u"",
     0, SW_SHOWNORMAL},
    {"emulated-unicode.lnk", u"C:\\Pelmora Caf\u00e9\\\u00dcber.exe", u"--name=\u03a9",
     u"\u03a9mega caf\u00e9 \u20ac", u"C:\\Pelmora \u03a9mega\\caf\u00e9.exe", 0,
     u"C:\\Pelmora \u03a9mega", 0, SW_SHOWNORMAL},
    // wine-full.lnk retargeted by the emulation.
    {"emulated-retargeted.lnk", u"C:\\Program Files\\Pelmora\\Pelmora.exe",
     u"/run --fast \"two words\"", u"Pelmora Old, the V3 launcher",
     u"C:\\Program Files\\Pelmora Old\\Old.ico", 3, u"C:\\Program Files\\Pelmora Old",
     Hotkey('P', HOTKEYF_CONTROL | HOTKEYF_ALT), SW_SHOWMINNOACTIVE},
};

class EmulatedLinkFile : public PlatformTest, public testing::WithParamInterface<Fixture> {};

TEST_P(EmulatedLinkFile, LoadsWithEveryPropertyItWasWrittenWith) {
  const Fixture& f = GetParam();
  ASSERT_EQ(CoInitialize(nullptr), S_OK);
  IShellLinkA* link = nullptr;
  IPersistFile* file = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             reinterpret_cast<void**>(&link)),
            S_OK);
  ASSERT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  const std::string path = FixturePath(f.file);
  EXPECT_EQ(file->Load(Wide(path).data(), STGM_READ), S_OK) << path;

  char text[MAX_PATH * 2] = "";
  WIN32_FIND_DATAA found;
  EXPECT_EQ(link->GetPath(text, MAX_PATH, &found, SLGP_RAWPATH), S_OK);
  EXPECT_EQ(std::string(text), Ansi(f.target));
  text[0] = '\0';
  EXPECT_EQ(link->GetArguments(text, sizeof text), S_OK);
  EXPECT_EQ(std::string(text), Ansi(f.arguments));
  text[0] = '\0';
  EXPECT_EQ(link->GetDescription(text, sizeof text), S_OK);
  EXPECT_EQ(std::string(text), Ansi(f.description));
  text[0] = '\0';
  int iconIndex = -1;
  EXPECT_EQ(link->GetIconLocation(text, sizeof text, &iconIndex), S_OK);
  EXPECT_EQ(std::string(text), Ansi(f.iconLocation));
  EXPECT_EQ(iconIndex, f.iconIndex);
  text[0] = '\0';
  EXPECT_EQ(link->GetWorkingDirectory(text, sizeof text), S_OK);
  EXPECT_EQ(std::string(text), Ansi(f.workingDirectory));
  WORD hotKey = 0;
  EXPECT_EQ(link->GetHotkey(&hotKey), S_OK);
  EXPECT_EQ(hotKey, f.hotKey);
  int showCommand = -1;
  EXPECT_EQ(link->GetShowCmd(&showCommand), S_OK);
  if (f.showCommand == SW_SHOWNORMAL) {
    EXPECT_EQ(showCommand, f.showCommand);
  } else {
    EXPECT_EQ_UNLESS_PLATFORM_GAP("shell link reads the show command back", f.showCommand,
                                  showCommand);
  }

  file->Release();
  link->Release();
  CoUninitialize();
}

INSTANTIATE_TEST_SUITE_P(Fixtures, EmulatedLinkFile, testing::ValuesIn(kFixtures),
                         [](const testing::TestParamInfo<Fixture>& info) {
                           std::string name;
                           for (const char* c = info.param.file; *c && *c != '.'; ++c)
                             if (*c != '-') name += *c;
                           return name;
                         });

}  // namespace
