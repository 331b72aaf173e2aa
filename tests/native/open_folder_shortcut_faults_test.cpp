// The lookup's order of work, its failure paths and its limits, provoked and observed through
// the emulated platform.
#include "platform/emulated/control.h"
#include "shortcuts/open_folder_shortcut.h"
#include "tests/support/desktop_fixture.h"

namespace {

using testlink::LinkProps;

class OpenFolderShortcutFaults : public DesktopTest {
 protected:
  struct Outcome {
    bool linked = false;
    std::string target;
    std::string path;
    std::string message;  // of the exception, if one was raised
  };

  Outcome Run(const std::string& name, bool create = false, const std::string& target = "") {
    Outcome outcome;
    ComScope com;  // the caller's scope, as the retargeting holds it
    ComPtr<IShellLinkA> link;
    AnsiString path = "untouched";
    emu::ClearJournal();
    try {
      OpenFolderShortcut(nullptr, target, "", "", 0, name, CSIDL_DESKTOPDIRECTORY, create, &link,
                         path);
    } catch (const Exception& e) {
      outcome.message = e.what();
    }
    journal_ = emu::Journal();  // the call's own work, before the caller's scope closes
    outcome.linked = static_cast<bool>(link);
    if (link) outcome.target = testlink::PropsOf(link.get()).target;
    outcome.path = path;
    return outcome;
  }

  int Count(const std::string& call) const {
    int count = 0;
    for (const auto& entry : journal_) count += entry.call == call;
    return count;
  }
  // The calls of the last Run among `wanted`, in order.
  std::vector<std::string> Calls(std::initializer_list<const char*> wanted) const {
    std::vector<std::string> calls;
    for (const auto& entry : journal_)
      for (const char* name : wanted)
        if (entry.call == name) calls.push_back(entry.call);
    return calls;
  }

  // Writes a link under a name that differs from an existing one only in case, which the
  // platform's own calls would take for the existing file.
  void WriteBesideInOtherCase(const std::string& name, const LinkProps& props) {
    testlink::Write(OnDesktop("staging.lnk"), props);
    std::filesystem::rename(lane::FsPath(OnDesktop("staging.lnk")),
                            lane::FsPath(desktop) / name);
  }

  std::vector<emu::JournalEntry> journal_;
};

TEST_F(OpenFolderShortcutFaults, OfSeveralMatchesTheLastListedWins) {
  testlink::Write(OnDesktop("Twin.LNK"), testlink::Sample("first"));
  WriteBesideInOtherCase("Twin.lnk", testlink::Sample("second"));  // listed after Twin.LNK
  const Outcome outcome = Run("Twin");
  EXPECT_EQ(outcome.target, testlink::Sample("second").target);
  EXPECT_EQ(outcome.path, OnDesktop("Twin.lnk"));
}

TEST_F(OpenFolderShortcutFaults, AMatchWithoutAParsingNameDoesNotOverrideAnEarlierOne) {
  testlink::Write(OnDesktop("Twin.LNK"), testlink::Sample("first"));
  WriteBesideInOtherCase("Twin.lnk", testlink::Sample("second"));
  emu::FailCall("IShellFolder::GetDisplayNameOf", 2, E_FAIL, "Twin.lnk");  // its parsing name
  const Outcome outcome = Run("Twin");
  EXPECT_EQ(outcome.target, testlink::Sample("first").target);
  EXPECT_EQ(outcome.path, OnDesktop("Twin.LNK"));
}

TEST_F(OpenFolderShortcutFaults, AFailingInFolderNameEndsTheLookup) {
  testlink::Write(OnDesktop("Alpha.lnk"), testlink::Sample("a"));
  testlink::Write(OnDesktop("Beta.lnk"), testlink::Sample("b"));
  emu::FailCall("IShellFolder::GetDisplayNameOf", 1, E_FAIL, "Alpha.lnk");
  const Outcome outcome = Run("Beta");
  EXPECT_FALSE(outcome.linked);
  EXPECT_EQ(outcome.path, "");
  EXPECT_EQ(Count("IEnumIDList::Next"), 1);
}

TEST_F(OpenFolderShortcutFaults, AnEmptyParsingNameFindsNothing) {
  testlink::Write(OnDesktop("Empty.lnk"), testlink::Sample("e"));
  emu::OverrideDisplayName("Empty.lnk", true, "");
  const Outcome outcome = Run("Empty");
  EXPECT_FALSE(outcome.linked);
  EXPECT_EQ(outcome.path, "");
}

class EveryStrretKind : public OpenFolderShortcutFaults,
                        public ::testing::WithParamInterface<UINT> {};

TEST_P(EveryStrretKind, GivesTheSameMatch) {
  emu::SetStrretKind(GetParam());
  testlink::Write(OnDesktop("Pelmora Heritage.LNK"), testlink::Sample("kind"));
  testlink::Write(OnDesktop("Pelmora Heritage UPKEEP.LNK"), testlink::Sample("other"));
  const Outcome outcome = Run("Pelmora Heritage");
  EXPECT_EQ(outcome.target, testlink::Sample("kind").target);
  EXPECT_EQ(outcome.path, OnDesktop("Pelmora Heritage.LNK"));
}

INSTANTIATE_TEST_SUITE_P(, EveryStrretKind,
                         ::testing::Values(STRRET_WSTR, STRRET_OFFSET, STRRET_CSTR),
                         [](const auto& info) {
                           return std::string(info.param == STRRET_WSTR     ? "Wstr"
                                              : info.param == STRRET_OFFSET ? "Offset"
                                                                            : "Cstr");
                         });

TEST_F(OpenFolderShortcutFaults, AnUnknownStrretKindMatchesNothing) {
  emu::SetStrretKind(7);
  testlink::Write(OnDesktop("Signal Desk.lnk"), testlink::Sample("s"));
  EXPECT_FALSE(Run("Signal Desk").linked);
}

struct FailureCase {
  const char* label;
  bool create;
  const char* call;
  const char* where;
  long result;
  const char* message;
};

class FailsWithItsMessage : public OpenFolderShortcutFaults,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailsWithItsMessage, ReleasingWhatItHeldAndClosingItsComScopeOnce) {
  const FailureCase& c = GetParam();
  testlink::Write(OnDesktop("Present.lnk"), testlink::Sample("present"));
  SetLastError(ERROR_ACCESS_DENIED);
  emu::FailCall(c.call, 1, c.result, c.where);
  const Outcome outcome = Run(c.create ? "Absent" : "Present", c.create, "C:\\Tools\\run.exe");
  EXPECT_EQ(outcome.message, c.message);
  EXPECT_FALSE(outcome.linked);
  EXPECT_EQ(outcome.path, "untouched");
  EXPECT_EQ(Count("CoInitialize"), 1);
  EXPECT_EQ(Count("CoUninitialize"), 1);
  EXPECT_FALSE(testlink::Exists(OnDesktop("Absent.lnk")));
  // The fixture checks that no object or block was left behind.
}

INSTANTIATE_TEST_SUITE_P(
    , FailsWithItsMessage,
    ::testing::Values(
        FailureCase{"NoLinkObject", false, "CoCreateInstance", "", E_OUTOFMEMORY,
                    "Couldn't get IShellLink to existing file. hres=8007000e 2147942414. psl=0. "
                    ": Access is denied.\r\n"},
        FailureCase{"NoPersistFile", false, "ShellLink::QueryInterface", "IPersistFile",
                    E_NOINTERFACE,
                    "Couldn't get a persist-file interface to the IShellLink for existing file"},
        FailureCase{"LoadFails", false, "IPersistFile::Load", "", E_FAIL,
                    "Error loading the existing IShellLink"},
        FailureCase{"NoLinkObjectToCreate", true, "CoCreateInstance", "", E_OUTOFMEMORY,
                    "Unable to create shortcut file"},
        FailureCase{"NoPersistFileToCreate", true, "ShellLink::QueryInterface", "IPersistFile",
                    E_NOINTERFACE, "Unable to get IPersistFile interface on shortcut just created"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(OpenFolderShortcutFaults, TheComposedMessageReadsTheLastErrorFirst) {
  testlink::Write(OnDesktop("Present.lnk"), testlink::Sample("present"));
  emu::SetSystemMessage(1234, "Some system text.\r\n");
  SetLastError(1234);
  emu::FailCall("CoCreateInstance", 1, static_cast<HRESULT>(0x80040154L));
  const Outcome outcome = Run("Present");
  EXPECT_EQ(outcome.message,
            "Couldn't get IShellLink to existing file. hres=80040154 2147746132. psl=0. : Some "
            "system text.\r\n");
  EXPECT_EQ(Calls({"CoCreateInstance", "GetLastError", "wsprintfA", "FormatMessageA",
                   "LocalFree", "CoUninitialize"}),
            (std::vector<std::string>{"CoCreateInstance", "GetLastError", "wsprintfA",
                                      "FormatMessageA", "LocalFree", "CoUninitialize"}));
}

TEST_F(OpenFolderShortcutFaults, ACodeWithoutSystemTextLeavesTheTextEmpty) {
  testlink::Write(OnDesktop("Present.lnk"), testlink::Sample("present"));
  SetLastError(4242);
  emu::FailCall("CoCreateInstance", 1, E_FAIL);
  EXPECT_EQ(Run("Present").message,
            "Couldn't get IShellLink to existing file. hres=80004005 2147500037. psl=0. : ");
}

TEST_F(OpenFolderShortcutFaults, TheLinkIsHandedBackAfterTheOwnComScopeCloses) {
  testlink::Write(OnDesktop("Present.lnk"), testlink::Sample("present"));
  const Outcome outcome = Run("Present");
  ASSERT_TRUE(outcome.linked);
  EXPECT_EQ(Calls({"IPersistFile::Load", "ShellLink::Release", "CoUninitialize",
                   "WideCharToMultiByte"}),
            (std::vector<std::string>{"ShellLink::Release",  // the creation's own reference
                                      "IPersistFile::Load", "ShellLink::Release",  // the file
                                      "CoUninitialize", "WideCharToMultiByte",
                                      "WideCharToMultiByte"}));
}

TEST_F(OpenFolderShortcutFaults, CreatingSetsOnlyWhatIsGivenThenSavesWithoutRemembering) {
  ComScope com;
  for (bool everything : {true, false}) {
    emu::ClearJournal();
    AnsiString path;
    OpenFolderShortcut(nullptr, everything ? "C:\\Tools\\run.exe" : "", everything ? "/x" : "",
                       everything ? "C:\\Tools\\run.ico" : "", 1,
                       everything ? "Full" : "Bare", CSIDL_DESKTOPDIRECTORY, true, nullptr, path);
    std::vector<std::string> setters;
    for (const auto& entry : emu::Journal())
      if (entry.call.rfind("IShellLinkA::Set", 0) == 0 || entry.call == "IPersistFile::Save")
        setters.push_back(entry.call.substr(entry.call.find("::") + 2) + "(" + entry.detail + ")");
    if (everything)
      EXPECT_EQ(setters, (std::vector<std::string>{
                             "SetPath(C:\\Tools\\run.exe)", "SetDescription()", "SetArguments(/x)",
                             "SetIconLocation(C:\\Tools\\run.ico)", "SetWorkingDirectory(C:\\Tools)",
                             "Save()"}));
    else
      EXPECT_EQ(setters, (std::vector<std::string>{"SetDescription()", "Save()"}));
  }
}

TEST_F(OpenFolderShortcutFaults, ADesktopAtADriveRootGivesTwoBackslashesInTheCreatedPath) {
  emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, "C:\\");
  ComScope com;
  AnsiString path;
  OpenFolderShortcut(nullptr, "C:\\run.exe", "", "", 0, "Rooted", CSIDL_DESKTOPDIRECTORY, true,
                     nullptr, path);
  EXPECT_EQ(path, "C:\\\\Rooted.lnk");
  EXPECT_TRUE(testlink::Exists("C:\\Rooted.lnk"));
}

TEST_F(OpenFolderShortcutFaults, AFolderThatCannotBeLocatedFindsNothingAndCreatesNothing) {
  emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, "");
  EXPECT_FALSE(Run("Anything").linked);
  EXPECT_EQ(Run("Anything", true, "C:\\Tools\\run.exe").message, "Unable to create shortcut file");
}

TEST_F(OpenFolderShortcutFaults, WithoutTheTaskAllocatorNothingIsLookedUp) {
  testlink::Write(OnDesktop("Present.lnk"), testlink::Sample("present"));
  emu::FailCall("SHGetMalloc", 1, E_OUTOFMEMORY);
  const Outcome outcome = Run("Present");
  EXPECT_FALSE(outcome.linked);
  EXPECT_EQ(Count("SHGetSpecialFolderLocation"), 0);
}

// Names that do not fit the lookup's buffers are refused, never cut to fit.
TEST_F(OpenFolderShortcutFaults, OverlongNamesNeverMatch) {
  const std::string longest(199, 'd');
  testlink::Write(OnDesktop(longest + ".lnk"), testlink::Sample("199"));
  EXPECT_TRUE(Run(longest).linked);
  const std::string tooLong(200, 'd');
  testlink::Write(OnDesktop(tooLong + ".lnk"), testlink::Sample("200"));
  EXPECT_FALSE(Run(tooLong).linked);
  // A display name whose first 199 characters match is no match either.
  EXPECT_FALSE(Run(tooLong.substr(0, 199) + "x").linked);
}

TEST_F(OpenFolderShortcutFaults, AnOverlongParsingNameFindsNothing) {
  testlink::Write(OnDesktop("Deep.lnk"), testlink::Sample("deep"));
  emu::OverrideDisplayName("Deep.lnk", true, "C:\\" + std::string(257, 'p'));
  EXPECT_FALSE(Run("Deep").linked);
  // One character less fits, is taken, and then names no file to load.
  emu::OverrideDisplayName("Deep.lnk", true, "C:\\" + std::string(256, 'p'));
  EXPECT_EQ(Run("Deep").message, "Error loading the existing IShellLink");
}

TEST_F(OpenFolderShortcutFaults, APathTooLongToCreateIsRefused) {
  const std::string name(260 - desktop.size() - 5, 'n');  // desktop + "\" + name + ".lnk" = 260
  const Outcome outcome = Run(name, true, "C:\\Tools\\run.exe");
  EXPECT_EQ(outcome.message, "Unable to create shortcut file");
  EXPECT_EQ(testlink::List(desktop), std::vector<std::string>{});
  const std::string fits = name.substr(1);
  EXPECT_EQ(Run(fits, true, "C:\\Tools\\run.exe").path, OnDesktop(fits + ".lnk"));
}

}  // namespace
