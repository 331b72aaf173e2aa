// Whole runs of the tool with every platform call in turn failing, raising, or stopping the
// process dead, each from the same seeded machine. After each, nothing may be lost or leaked,
// and a following clean run must reach the correct end state.
#include <iostream>
#include <map>

#include "app/main_sequence.h"
#include "platform/emulated/control.h"
#include "tests/support/install_fixture.h"
#include "tests/support/uninstall_fixture.h"

namespace {

using testlink::LinkProps;

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Calls that give nothing back to fail with (releases, frees, closes) are never failed, and never
// raise either: they run from destructors, where nothing may be thrown.
bool RunsFromCleanup(const std::string& call) {
  return EndsWith(call, "::Release") || call == "IMalloc::Free" || call == "CoTaskMemFree" ||
         call == "CoUninitialize" || call == "RegCloseKey" || call == "CloseHandle" ||
         call == "FindClose" || call == "LocalFree";
}

// How each call typically fails, in the form its emulation takes a forced result: the return
// value, or for calls that report through the last error, that error.
std::optional<long> TypicalFailure(const std::string& call) {
  if (RunsFromCleanup(call) || call == "GetLastError" || call == "GetACP" || call == "wsprintfA")
    return std::nullopt;
  if (call.rfind("Reg", 0) == 0) return ERROR_ACCESS_DENIED;
  if (call == "SHGetPathFromIDListA" || call == "MultiByteToWideChar" ||
      call == "WideCharToMultiByte" || call == "GetCPInfo" || call == "FormatMessageA")
    return 0;
  if (call == "CopyFileA" || call == "DeleteFileA" || call == "MoveFileExA" ||
      call == "GetFileAttributesA" || call == "CreateFileA" || call == "FindFirstFileA" ||
      call == "GetFileInformationByHandle" || call == "GetFinalPathNameByHandleA")
    return ERROR_ACCESS_DENIED;
  if (call == "ShellLink::QueryInterface") return E_NOINTERFACE;
  if (call == "CoInitialize" || call == "CoCreateInstance" || call == "SHGetMalloc")
    return E_OUTOFMEMORY;
  return E_FAIL;  // the shell's and the link's methods
}

using Files = std::map<std::string, std::vector<BYTE>>;

class Sweep : public InstallFolderTest {
 protected:
  static constexpr const char* kUserShortcut = "signal desk.lnk";

  void SetUp() override {
    InstallFolderTest::SetUp();
    UninstallEntriesTest::RemoveAll();
  }

  // The machine every run starts from.
  void Seed() {
    lane::StartFresh();
    desktop = lane::PrepareDesktop();
    testlink::MakeFolder(InstallDir());
    UninstallEntriesTest::SeedEarlierEntries();
    UninstallEntriesTest::SeedCurrent(
        "Pelmora V3.2", "\"" + InstallDir() + "remove.exe\" /uninstall");
    for (const char* name : shortcutNames) testlink::Write(Installed(name), testlink::Sample(name));
    testlink::Write(OnDesktop(kUserShortcut), testlink::Sample("the user's own"));
    testlink::PutBytes(OnDesktop("notes.txt"), {'m', 'i', 'n', 'e'});
    baseRegistry_ = RegistryBesideEarlierEntries();
    baseDesktop_ = Contents(desktop);
    baseInstall_ = Contents(InstallDir());
    emu::ClearJournal();
  }

  Files Contents(const std::string& folder) const {
    Files files;
    for (const std::string& name : testlink::List(folder))
      files[name] = testlink::Bytes(folder + "\\" + name);
    return files;
  }

  // The registry below SOFTWARE except the five entries that are meant to go.
  static std::string RegistryBesideEarlierEntries() {
    std::string dump;
    std::function<void(const std::string&)> walk = [&](const std::string& path) {
      for (const char* key : earlierUninstallKeys)
        if (path == key) return;
      dump += "[" + path + "]";
      for (const std::string& value : testreg::ValueNames(HKEY_LOCAL_MACHINE, path)) dump += value + ";";
      for (const std::string& sub : testreg::SubkeyNames(HKEY_LOCAL_MACHINE, path)) walk(path + "\\" + sub);
    };
    walk("SOFTWARE");
    return dump + testreg::Dump(HKEY_LOCAL_MACHINE, currentUninstallKey);
  }

  // What must hold right after any run, whatever went wrong in it.
  void ExpectNothingLostOrLeaked(const std::string& run) {
    EXPECT_EQ(emu::OpenRegistryHandles(), 0) << run;
    EXPECT_EQ(emu::ComInitDepth(), 0) << run;
    EXPECT_EQ(emu::LiveComObjects(), 0) << run;
    EXPECT_EQ(emu::OutstandingTaskAllocations(), 0) << run;
    EXPECT_EQ(emu::OutstandingLocalAllocations(), 0) << run;
    EXPECT_EQ(emu::OpenFileHandles(), 0) << run;
    EXPECT_EQ(emu::ForeignFrees(), 0) << run;
    EXPECT_EQ(RegistryBesideEarlierEntries(), baseRegistry_) << run;
    ExpectEachShortcutOldOrRepointed(run);
    // The user's files are where they were, or set aside whole for the next run to put back.
    const Files now = Contents(desktop);
    for (const auto& [name, bytes] : baseDesktop_) {
      auto here = now.find(name);
      auto aside = now.find(name + ".pelmora-fixup-saved");
      const bool kept = (here != now.end() && here->second == bytes) ||
                        (aside != now.end() && aside->second == bytes);
      EXPECT_TRUE(kept) << run << ": " << name;
    }
  }

  void ExpectEachShortcutOldOrRepointed(const std::string& run) {
    for (const char* name : shortcutNames) {
      const auto bytes = testlink::Bytes(Installed(name));
      if (bytes == baseInstall_[std::string(name) + ".LNK"]) continue;
      const auto props = testlink::Read(Installed(name));
      ASSERT_TRUE(props) << run << ": " << name << " is neither old nor a loadable shortcut";
      EXPECT_EQ(*props, Repointed(testlink::Sample(name))) << run << ": " << name;
    }
  }

  // The end state a complete run must reach.
  void ExpectCorrectEndState(const std::string& run) {
    EXPECT_EQ(UninstallEntriesTest::EarlierEntriesLeft(), 0) << run;
    EXPECT_EQ(RegistryBesideEarlierEntries(), baseRegistry_) << run;
    for (const char* name : shortcutNames) {
      const auto props = testlink::Read(Installed(name));
      ASSERT_TRUE(props) << run << ": " << name;
      EXPECT_EQ(*props, Repointed(testlink::Sample(name))) << run << ": " << name;
    }
    EXPECT_EQ(Contents(desktop), baseDesktop_) << run;
    EXPECT_EQ(testlink::List(InstallDir()).size(), baseInstall_.size()) << run;
  }

  // Runs the sequence as the entry point does: an exception ends the run.
  static std::string RunTool() {
    try {
      return RunMainSequence() == 0 ? "0" : "nonzero";
    } catch (const ERegistryException&) {
      return "registry exception";
    } catch (const emu::InjectedException&) {
      return "injected exception";
    }
  }

  int CallsOfACleanRun() {
    Seed();
    RunTool();
    const int calls = static_cast<int>(emu::Journal().size());
    ExpectCorrectEndState("clean run");
    return calls;
  }

  std::string baseRegistry_;
  Files baseDesktop_;
  Files baseInstall_;
};

TEST_F(Sweep, EveryCallFailingInTurn) {
  const int calls = CallsOfACleanRun();
  ASSERT_GT(calls, 100);
  int failed = 0;
  for (int k = 1; k <= calls; ++k) {
    Seed();
    std::string call;
    emu::FailNthCallOfAnyKind(k, [&](const std::string& name) {
      call = name;
      return TypicalFailure(name);
    });
    const std::string outcome = RunTool();
    emu::ClearFaults();
    const std::string run = "call " + std::to_string(k) + " (" + call + ") failing";
    if (TypicalFailure(call)) ++failed;
    // Only a registry value that cannot be read as text may end a run early.
    EXPECT_TRUE(outcome == "0" || outcome == "registry exception") << run << ": " << outcome;
    ExpectNothingLostOrLeaked(run);
    RunTool();
    ExpectCorrectEndState(run + ", then a clean run");
    if (HasFailure()) break;
  }
  std::cout << "[ figures  ] calls in a run: " << calls << ", runs with a call failing: " << failed
            << "\n";
}

TEST_F(Sweep, EveryCallRaisingInTurn) {
  const int calls = CallsOfACleanRun();
  int raised = 0;
  for (int k = 1; k <= calls; ++k) {
    Seed();
    std::string call;
    emu::RaiseAtNthCallOfAnyKind(k, [&](const std::string& name) {
      call = name;
      return !RunsFromCleanup(name);
    });
    const std::string outcome = RunTool();
    emu::ClearFaults();
    const std::string run = "call " + std::to_string(k) + " (" + call + ") raising";
    if (!RunsFromCleanup(call)) ++raised;
    EXPECT_TRUE(outcome == "0" || outcome == "injected exception") << run << ": " << outcome;
    ExpectNothingLostOrLeaked(run);
    RunTool();
    ExpectCorrectEndState(run + ", then a clean run");
    if (HasFailure()) break;
  }
  std::cout << "[ figures  ] calls in a run: " << calls << ", runs with a call raising: " << raised
            << "\n";
}

TEST_F(Sweep, EveryCallStoppingTheProcessDead) {
  const int calls = CallsOfACleanRun();
  for (int k = 1; k <= calls; ++k) {
    Seed();
    // From call k on nothing takes effect, as if the process had been killed there.
    emu::FailFromNthCallOfAnyKind(k, TypicalFailure);
    RunTool();
    emu::ClearFaults();
    lane::RestartProcess();
    desktop = lane::PrepareDesktop();
    RunTool();
    ExpectCorrectEndState("stopped at call " + std::to_string(k) + ", then a clean run");
    if (HasFailure()) break;
  }
  std::cout << "[ figures  ] calls in a run: " << calls << ", runs stopped dead: " << calls << "\n";
}

}  // namespace
