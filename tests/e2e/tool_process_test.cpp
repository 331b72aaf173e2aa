// The whole tool, run as a child process against the real registry of the machine it runs on
// (under Wine: the build's private prefix), the way an installer runs it: the uninstall entries
// are seeded with the registry API, pelmora-fixup.exe is started beside this test program with
// its output captured, and the registry is compared with what it held before.
//
// Only the registry phase is exercised here.
#include "tests/e2e/tool_run.h"

namespace {

using namespace e2e;

// ---- display name present: the earlier entries go, everything else stays ----------------------

struct DisplayNameCase {
  const char* name;
  DWORD type;
  std::string text;
};

class ToolRemovesEarlierEntries : public ToolProcessTest,
                                  public ::testing::WithParamInterface<DisplayNameCase> {};

TEST_P(ToolRemovesEarlierEntries, RemovesFiveEarlierEntriesAndKeepsTheRest) {
  SeedCurrentEntry();
  SetText(kCurrentEntry, "DisplayName", GetParam().text, GetParam().type);
  SetDword(kCurrentEntry, "EstimatedSize", 4096);
  SetText(kCurrentEntry + "\\Options", "", "kept");
  SeedEarlierAndUnrelatedEntries();
  const KeySnapshot before = UninstallArea();
  const std::optional<KeySnapshot> currentBefore = Snapshot(kCurrentEntry);

  ExpectQuietExit(RunTool(), 0);

  for (const std::string& path : kEarlierEntries) EXPECT_FALSE(KeyExists(path)) << path;
  EXPECT_EQ(Snapshot(kCurrentEntry), currentBefore);
  for (const std::string& path : kUnrelatedEntries) EXPECT_TRUE(KeyExists(path)) << path;
  EXPECT_EQ(UninstallArea(), WithoutEarlierEntries(before));
}

INSTANTIATE_TEST_SUITE_P(
    DisplayNames, ToolRemovesEarlierEntries,
    ::testing::Values(DisplayNameCase{"PlainText", REG_SZ, "Pelmora V3.2"},
                      DisplayNameCase{"ExpandableText", REG_EXPAND_SZ, "%ProgramFiles%\\Pelmora"},
                      // Nothing is trimmed: one blank is a display name.
                      DisplayNameCase{"SingleBlank", REG_SZ, " "}),
    [](const ::testing::TestParamInfo<DisplayNameCase>& info) { return info.param.name; });

TEST_F(ToolProcessTest, RemovesEarlierEntriesThatAreThereAndPassesOverMissingOnes) {
  SeedCurrentEntry();
  SeedEarlierAndUnrelatedEntries();
  RemoveTree(kEarlierEntries[1]);
  RemoveTree(kEarlierEntries[3]);
  const KeySnapshot before = UninstallArea();

  ExpectQuietExit(RunTool(), 0);

  for (const std::string& path : kEarlierEntries) EXPECT_FALSE(KeyExists(path)) << path;
  EXPECT_EQ(UninstallArea(), WithoutEarlierEntries(before));
}

TEST_F(ToolProcessTest, IgnoresCommandLineArguments) {
  SeedCurrentEntry();
  SeedEarlierAndUnrelatedEntries();
  const KeySnapshot before = UninstallArea();

  ExpectQuietExit(RunTool("a b /x"), 0);

  EXPECT_EQ(UninstallArea(), WithoutEarlierEntries(before));
}

TEST_F(ToolProcessTest, SecondRunFindsNothingMoreToDo) {
  SeedCurrentEntry();
  SeedEarlierAndUnrelatedEntries();
  ExpectQuietExit(RunTool(), 0);
  const KeySnapshot afterFirst = UninstallArea();

  ExpectQuietExit(RunTool(), 0);

  EXPECT_EQ(UninstallArea(), afterFirst);
}

// ---- no display name: nothing is removed ----------------------------------------------------

struct NoDisplayNameCase {
  const char* name;
  void (*seedCurrentEntry)();
};

class ToolWithoutDisplayName : public ToolProcessTest,
                               public ::testing::WithParamInterface<NoDisplayNameCase> {};

TEST_P(ToolWithoutDisplayName, RemovesNothing) {
  GetParam().seedCurrentEntry();
  SeedEarlierAndUnrelatedEntries();
  const KeySnapshot before = UninstallArea();

  ExpectQuietExit(RunTool(), 0);

  EXPECT_EQ(UninstallArea(), before);
}

INSTANTIATE_TEST_SUITE_P(
    CurrentEntries, ToolWithoutDisplayName,
    ::testing::Values(
        NoDisplayNameCase{"NoCurrentEntry", [] {}},
        NoDisplayNameCase{"CurrentEntryWithoutDisplayName",
                          [] { SetText(kCurrentEntry, "UninstallString", kUninstallCommand); }},
        NoDisplayNameCase{"EmptyDisplayName",
                          [] {
                            SeedCurrentEntry();
                            SetText(kCurrentEntry, "DisplayName", "");
                          }},
        // With no data, the type of the value is never looked at.
        NoDisplayNameCase{"DisplayNameOfNoBytes",
                          [] {
                            SeedCurrentEntry();
                            SetValue(kCurrentEntry, "DisplayName", REG_BINARY, "", 0);
                          }}),
    [](const ::testing::TestParamInfo<NoDisplayNameCase>& info) { return info.param.name; });

// ---- a value that is not text stops the run -------------------------------------------------

struct NotTextCase {
  const char* name;
  DWORD type;
  std::vector<BYTE> data;
};

const std::vector<NotTextCase>& NotTextCases() {
  static const std::vector<NotTextCase> cases = {
      {"Dword", REG_DWORD, {1, 0, 0, 0}},
      {"MultiString", REG_MULTI_SZ, {'P', 0, 'V', 0, 0}},
      {"Binary", REG_BINARY, {'P', 'e', 'l', 0}},
  };
  return cases;
}

class ToolStopsAtNonTextValue : public ToolProcessTest,
                                public ::testing::WithParamInterface<NotTextCase> {};

TEST_P(ToolStopsAtNonTextValue, DisplayNameStopsTheRunBeforeAnyRemoval) {
  SeedCurrentEntry();
  SetValue(kCurrentEntry, "DisplayName", GetParam().type, GetParam().data.data(),
           static_cast<DWORD>(GetParam().data.size()));
  SeedEarlierAndUnrelatedEntries();
  const KeySnapshot before = UninstallArea();

  ExpectQuietExit(RunTool(), kStoppedByError);

  EXPECT_EQ(UninstallArea(), before);
}

// The removals come before the uninstall command is read: they stay done.
TEST_P(ToolStopsAtNonTextValue, UninstallStringStopsTheRunAfterTheRemovals) {
  SeedCurrentEntry();
  SetValue(kCurrentEntry, "UninstallString", GetParam().type, GetParam().data.data(),
           static_cast<DWORD>(GetParam().data.size()));
  SeedEarlierAndUnrelatedEntries();
  const KeySnapshot before = UninstallArea();

  ExpectQuietExit(RunTool(), kStoppedByError);

  EXPECT_EQ(UninstallArea(), WithoutEarlierEntries(before));
}

INSTANTIATE_TEST_SUITE_P(
    Types, ToolStopsAtNonTextValue, ::testing::ValuesIn(NotTextCases()),
    [](const ::testing::TestParamInfo<NotTextCase>& info) { return info.param.name; });

}  // namespace
