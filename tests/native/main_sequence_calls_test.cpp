// The main sequence's order of work and its COM scope, read from the emulated journal.
#include "app/main_sequence.h"
#include "platform/emulated/control.h"
#include "platform/path.h"
#include "tests/support/uninstall_fixture.h"

namespace {

class MainSequenceCalls : public UninstallEntriesTest {
 protected:
  // The registry reads, removals of whole entries and COM calls of a run, in order.
  std::vector<std::string> Outline() const {
    std::vector<std::string> outline;
    for (const auto& entry : emu::Journal()) {
      if (entry.call == "RegOpenKeyExA" && entry.detail == "sam=0x20019")
        outline.push_back("read " + entry.name.substr(entry.name.rfind('\\') + 1));
      else if (entry.call == "RegDeleteKeyA" && entry.key == "HKLM" &&
               entry.name.rfind("\\Pelmora V") == entry.name.rfind('\\'))
        outline.push_back("removed " + entry.name.substr(entry.name.rfind('\\') + 1));
      else if (entry.call == "CoInitialize" || entry.call == "CoUninitialize")
        outline.push_back(entry.call);
    }
    return outline;
  }
};

TEST_F(MainSequenceCalls, ReadsRemovesInTableOrderReadsAgainThenOpensCom) {
  SeedEarlierEntries();
  SeedCurrent("Pelmora V3.2", "C:\\Pelmora\\remove.exe");
  emu::ClearJournal();
  EXPECT_EQ(RunMainSequence(), 0);
  EXPECT_EQ(Outline(), (std::vector<std::string>{
                           "read Pelmora V3.2", "removed Pelmora V1.0", "removed Pelmora V1.1",
                           "removed Pelmora V2.0", "removed Pelmora V3.0", "removed Pelmora V3.1",
                           "read Pelmora V3.2", "CoInitialize", "CoUninitialize"}));
}

TEST_F(MainSequenceCalls, WithoutAnInstallFolderComIsNeverTouched) {
  for (const char* command : {"", "remove.exe /x"}) {
    SeedCurrent("Pelmora V3.2", command);
    emu::ClearJournal();
    EXPECT_EQ(RunMainSequence(), 0);
    EXPECT_TRUE(emu::JournalOf("CoInitialize").empty()) << command;
    EXPECT_TRUE(emu::JournalOf("CoUninitialize").empty()) << command;
  }
}

TEST_F(MainSequenceCalls, AFailingCoInitializeIsStillPairedAndTheRunEndsWithZero) {
  SeedCurrent("", "C:\\Pelmora\\remove.exe");
  emu::FailCall("CoInitialize", 1, E_OUTOFMEMORY);
  emu::ClearJournal();
  EXPECT_EQ(RunMainSequence(), 0);
  EXPECT_EQ(emu::JournalOf("CoUninitialize").size(), 1u);
}

TEST_F(MainSequenceCalls, FailingRemovalsDoNotStopTheOthersOrTheRun) {
  SeedEarlierEntries();
  SeedCurrent("Pelmora V3.2", "C:\\Pelmora\\remove.exe");
  emu::FailCallFrom("RegOpenKeyExA", 1, ERROR_ACCESS_DENIED, "Pelmora V1.1");
  emu::RaiseAtCall("RegDeleteValueA", 1, "Pelmora V2.0\\DisplayName");
  EXPECT_EQ(RunMainSequence(), 0);
  emu::ClearFaults();
  EXPECT_EQ(EarlierEntriesLeft(), 2);
  EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, earlierUninstallKeys[1]));
  EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, earlierUninstallKeys[2]));
}

struct DoubleByteCut {
  const char* label;
  const char* command;
  const char* installDir;
};

class InstallDirCutOnDoubleBytePage : public PlatformTest,
                                      public ::testing::WithParamInterface<DoubleByteCut> {};

TEST_P(InstallDirCutOnDoubleBytePage, NeverCutsInsideACharacter) {
  emu::SetAnsiCodePage(932);
  EXPECT_EQ(InstallDirOf(GetParam().command), GetParam().installDir);
}

// 0x95 0x5C is one character whose second byte has the value of a backslash.
INSTANTIATE_TEST_SUITE_P(
    , InstallDirCutOnDoubleBytePage,
    ::testing::Values(
        DoubleByteCut{"SecondByteIsNotASeparator", "C:\\Apps\\\x95\x5c.exe", "C:\\Apps\\"},
        DoubleByteCut{"FolderNameEndingInTheCharacter", "C:\\\x95\x5c\\remove.exe",
                      "C:\\\x95\x5c\\"},
        DoubleByteCut{"OnlyTheCharacter", "\x95\x5c", ""},
        DoubleByteCut{"LoneLeadByteAtTheEnd", "C:\\Apps\\\x95", "C:\\Apps\\"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(PathOnDoubleBytePage, TrailingBackslashIsTestedOnWholeCharacters) {
  emu::ResetMachine();
  emu::SetAnsiCodePage(932);
  EXPECT_EQ(IncludeTrailingBackslash("C:\\\x95\x5c"), "C:\\\x95\x5c\\");
  EXPECT_EQ(IncludeTrailingBackslash("C:\\\x95\x5c\\"), "C:\\\x95\x5c\\");
  emu::SetAnsiCodePage(1252);
  EXPECT_EQ(IncludeTrailingBackslash("C:\\\x95\x5c"), "C:\\\x95\x5c");  // one byte, then '\'
  emu::ResetMachine();
}

}  // namespace
