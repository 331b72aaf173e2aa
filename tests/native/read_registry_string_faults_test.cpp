// The reader's behaviour where only the emulated platform can provoke it: refused access masks
// and a value that changes between the probe and the fetch.
#include "platform/emulated/control.h"
#include "registry/read_registry_string.h"
#include "tests/support/platform_test.h"

namespace {

class ReadRegistryStringFaults : public RegistryTest {};

std::vector<std::string> OpenMasks() {
  std::vector<std::string> masks;
  for (const auto& entry : emu::Journal())
    if (entry.call == "RegOpenKeyExA") masks.push_back(entry.detail + " " + std::to_string(entry.result));
  return masks;
}

TEST_F(ReadRegistryStringFaults, FallsBackThroughTheThreeMasksInOrder) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "v", "still read");
  emu::SetKeyAccess(HKEY_LOCAL_MACHINE, scratch, KEY_QUERY_VALUE);
  emu::ClearJournal();
  EXPECT_EQ(ReadRegistryString(0, scratch, "v"), "still read");
  EXPECT_EQ(OpenMasks(), (std::vector<std::string>{"sam=0x20019 5", "sam=0x20009 5", "sam=0x1 0"}));
}

TEST_F(ReadRegistryStringFaults, AKeyNoMaskOpensReadsEmpty) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "v", "hidden");
  emu::SetKeyAccess(HKEY_LOCAL_MACHINE, scratch, KEY_SET_VALUE);
  emu::ClearJournal();
  EXPECT_EQ(ReadRegistryString(0, scratch, "v"), "");
  EXPECT_EQ(OpenMasks().size(), 3u);
  EXPECT_TRUE(emu::JournalOf("RegQueryValueExA").empty());
}

TEST_F(ReadRegistryStringFaults, ProbesThenFetchesOnceAndClosesTheKey) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "v", "abc");
  emu::ClearJournal();
  ReadRegistryString(0, scratch, "v");
  std::vector<std::string> calls;
  for (const auto& entry : emu::Journal())
    if (entry.call.rfind("Reg", 0) == 0) calls.push_back(entry.call);
  EXPECT_EQ(calls, (std::vector<std::string>{"RegOpenKeyExA", "RegQueryValueExA",
                                             "RegQueryValueExA", "RegCloseKey"}));
}

TEST_F(ReadRegistryStringFaults, AFetchThatFailsAfterTheProbeRaisesAndReleasesTheKey) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "UninstallString", "grew meanwhile");
  emu::FailCall("RegQueryValueExA", 2, ERROR_MORE_DATA);
  try {
    ReadRegistryString(0, scratch, "UninstallString");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Failed to get data for 'UninstallString'");
  }
  EXPECT_EQ(emu::OpenRegistryHandles(), 0);
}

TEST_F(ReadRegistryStringFaults, AFailedProbeReadsEmptyWhateverTheType) {
  testreg::SetValue(HKEY_LOCAL_MACHINE, scratch, "v", REG_DWORD, testreg::Dword(1));
  emu::FailCall("RegQueryValueExA", 1, ERROR_ACCESS_DENIED);
  EXPECT_EQ(ReadRegistryString(0, scratch, "v"), "");
}

}  // namespace
