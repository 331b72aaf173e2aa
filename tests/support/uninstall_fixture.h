// A machine with Pelmora's uninstall entries, for the tests of the whole sequence.
#pragma once

#include <string>

#include "app/main_sequence.h"
#include "tests/support/platform_test.h"

class UninstallEntriesTest : public PlatformTest {
 public:
  static constexpr const char* kUninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
  static std::string Unrelated() { return std::string(kUninstall) + "\\Pelmora Tools"; }

  void SetUp() override {
    PlatformTest::SetUp();
    RemoveAll();
  }
  void CleanUp() override { RemoveAll(); }

  // The five earlier entries with values and nested subkeys, and an unrelated neighbour.
  static void SeedEarlierEntries() {
    for (const char* key : earlierUninstallKeys)
      testreg::Seed(HKEY_LOCAL_MACHINE, key,
                    {{"", {"DisplayName=old", "UninstallString=C:\\Old\\remove.exe", "=default"}},
                     {"Components", {"a=1"}},
                     {"Components\\Core\\Files", {"b=2", "c=3"}},
                     {"Features", {}}});
    testreg::Seed(HKEY_LOCAL_MACHINE, Unrelated(), {{"", {"DisplayName=Pelmora Tools"}}});
  }
  static void SeedCurrent(const std::string& displayName, const std::string& uninstallString) {
    testreg::CreateKey(HKEY_LOCAL_MACHINE, currentUninstallKey);
    if (!displayName.empty())
      testreg::SetString(HKEY_LOCAL_MACHINE, currentUninstallKey, "DisplayName", displayName);
    if (!uninstallString.empty())
      testreg::SetString(HKEY_LOCAL_MACHINE, currentUninstallKey, "UninstallString",
                         uninstallString);
  }
  static int EarlierEntriesLeft() {
    int left = 0;
    for (const char* key : earlierUninstallKeys) left += testreg::KeyExists(HKEY_LOCAL_MACHINE, key);
    return left;
  }

  static void RemoveAll() {
    for (const char* key : earlierUninstallKeys) testreg::DeleteTree(HKEY_LOCAL_MACHINE, key);
    testreg::DeleteTree(HKEY_LOCAL_MACHINE, currentUninstallKey);
    testreg::DeleteTree(HKEY_LOCAL_MACHINE, Unrelated());
  }
};
