#include "app/main_sequence.h"

#include "tests/support/uninstall_fixture.h"

namespace {

struct CutCase {
  const char* label;
  const char* command;
  const char* installDir;
};

class InstallDirCut : public ::testing::TestWithParam<CutCase> {};

TEST_P(InstallDirCut, FromTheUninstallCommand) {
  EXPECT_EQ(InstallDirOf(GetParam().command), GetParam().installDir);
}

INSTANTIATE_TEST_SUITE_P(
    , InstallDirCut,
    ::testing::Values(
        CutCase{"Plain", "D:\\Apps\\remove.exe", "D:\\Apps\\"},
        CutCase{"LastBackslashWins", "D:\\Apps\\remove.exe D:\\Apps\\Logs\\setup.log",
                "D:\\Apps\\remove.exe D:\\Apps\\Logs\\"},
        CutCase{"DriveRelative", "D:remove.exe", "D:"},
        CutCase{"ForwardSlashesDoNotCount", "D:/Apps/remove.exe", "D:"},
        CutCase{"NoSeparator", "remove.exe /x", ""},
        CutCase{"Empty", "", ""},
        CutCase{"BlanksStay", "C:\\Program Files\\Pelmora\\remove.exe /quiet",
                "C:\\Program Files\\Pelmora\\"},
        // A quoted program path is cut inside its quotes (a folder beginning with a quotation
        // mark would name nothing); what follows the closing quote is not looked at.
        CutCase{"QuotedWithOptions", "\"C:\\Program Files\\Pelmora\\remove.exe\" /quiet",
                "C:\\Program Files\\Pelmora\\"},
        CutCase{"QuotedWithBackslashInOptions", "\"D:\\Apps\\remove.exe\" /log=C:\\x\\y.log",
                "D:\\Apps\\"},
        CutCase{"QuotedWithoutClosingQuote", "\"D:\\Apps\\remove.exe", "D:\\Apps\\"},
        CutCase{"QuotedWithoutFolder", "\"remove.exe\" /x", ""}),
    [](const auto& info) { return std::string(info.param.label); });

class MainSequenceTest : public UninstallEntriesTest {};

TEST_F(MainSequenceTest, WithADisplayNameTheEarlierEntriesGoAndTheRestStays) {
  SeedEarlierEntries();
  SeedCurrent("Pelmora V3.2", "C:\\Program Files\\Pelmora\\remove.exe");
  const std::string current = testreg::Dump(HKEY_LOCAL_MACHINE, currentUninstallKey);
  const std::string unrelated = testreg::Dump(HKEY_LOCAL_MACHINE, Unrelated());

  EXPECT_EQ(RunMainSequence(), 0);

  EXPECT_EQ(EarlierEntriesLeft(), 0);
  EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, currentUninstallKey), current);
  EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, Unrelated()), unrelated);
}

TEST_F(MainSequenceTest, ABlankDisplayNameCountsAsPresent) {
  SeedEarlierEntries();
  SeedCurrent(" ", "");
  EXPECT_EQ(RunMainSequence(), 0);
  EXPECT_EQ(EarlierEntriesLeft(), 0);
}

TEST_F(MainSequenceTest, MissingEarlierEntriesArePassedOver) {
  testreg::Seed(HKEY_LOCAL_MACHINE, earlierUninstallKeys[2], {{"", {"v=1"}}});
  SeedCurrent("Pelmora V3.2", "");
  EXPECT_EQ(RunMainSequence(), 0);
  EXPECT_EQ(EarlierEntriesLeft(), 0);
}

TEST_F(MainSequenceTest, WithoutADisplayNameNothingIsRemoved) {
  SeedEarlierEntries();
  SeedCurrent("", "C:\\Program Files\\Pelmora\\remove.exe");
  EXPECT_EQ(RunMainSequence(), 0);  // the value is missing
  EXPECT_EQ(EarlierEntriesLeft(), 5);
  testreg::SetValue(HKEY_LOCAL_MACHINE, currentUninstallKey, "DisplayName", REG_SZ, {0});
  EXPECT_EQ(RunMainSequence(), 0);  // the value is empty
  EXPECT_EQ(EarlierEntriesLeft(), 5);
}

TEST_F(MainSequenceTest, WithoutAnyCurrentEntryNothingChanges) {
  SeedEarlierEntries();
  EXPECT_EQ(RunMainSequence(), 0);
  EXPECT_EQ(EarlierEntriesLeft(), 5);
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, currentUninstallKey));
}

TEST_F(MainSequenceTest, ADisplayNameThatIsNotTextStopsTheRunBeforeAnyRemoval) {
  SeedEarlierEntries();
  SeedCurrent("", "C:\\Pelmora\\remove.exe");
  testreg::SetValue(HKEY_LOCAL_MACHINE, currentUninstallKey, "DisplayName", REG_DWORD,
                    testreg::Dword(32));
  EXPECT_THROW(RunMainSequence(), ERegistryException);
  EXPECT_EQ(EarlierEntriesLeft(), 5);
}

TEST_F(MainSequenceTest, AnUninstallCommandThatIsNotTextStopsTheRunAfterTheRemovals) {
  SeedEarlierEntries();
  SeedCurrent("Pelmora V3.2", "");
  testreg::SetValue(HKEY_LOCAL_MACHINE, currentUninstallKey, "UninstallString", REG_BINARY,
                    {1, 2});
  EXPECT_THROW(RunMainSequence(), ERegistryException);
  EXPECT_EQ(EarlierEntriesLeft(), 0);
}

TEST_F(MainSequenceTest, ASecondRunFindsNothingMoreToDo) {
  SeedEarlierEntries();
  SeedCurrent("Pelmora V3.2", "C:\\Program Files\\Pelmora\\remove.exe");
  ASSERT_EQ(RunMainSequence(), 0);
  const std::string after = testreg::Dump(HKEY_LOCAL_MACHINE, kUninstall);
  EXPECT_EQ(RunMainSequence(), 0);
  EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, kUninstall), after);
}

}  // namespace
