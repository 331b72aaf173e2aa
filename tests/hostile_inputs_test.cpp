// The whole run against a hostile machine: damaged, truncated and oversized shortcut files, a
// protected one, links of every kind and a folder where the desktop copy would go, install
// folders at the edge of the path limit, and uninstall entries wide and deep. Runs on both
// lanes, so what is checked here is what the real API (under Wine) does too.
//
// After every run: the tool ended normally, changed nothing it should not, and left no file of
// its own (".pelmora-fixup-...") anywhere.
#include <algorithm>
#include <filesystem>
#include <map>

#include "app/main_sequence.h"
#include "tests/support/install_fixture.h"
#include "tests/support/planting.h"
#include "tests/support/uninstall_fixture.h"

namespace {

using testlink::LinkProps;
using Bytes = std::vector<BYTE>;

class HostileInputs : public InstallFolderTest {
 protected:
  static constexpr const char* kVictim = "Pelmora Heritage";

  void SetUp() override {
    InstallFolderTest::SetUp();
    UninstallEntriesTest::RemoveAll();
  }
  void CleanUp() override {
    for (const std::string& link : planted_) plant::RemoveLink(link);
    for (const std::string& path : readOnly_) SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    UninstallEntriesTest::RemoveAll();
    InstallFolderTest::CleanUp();
  }

  // The installed version's entry names `installDir`, quoted as installers write it, beside
  // the entries of the earlier versions; every shortcut is there, each with properties of its own.
  static void SeedInstallation(const std::string& installDir = InstallDir()) {
    UninstallEntriesTest::SeedEarlierEntries();
    UninstallEntriesTest::SeedCurrent("Pelmora V3.2",
                                      "\"" + installDir + "remove.exe\" /uninstall");
    for (const char* name : shortcutNames)
      testlink::Write(installDir + name + ".LNK", testlink::Sample(name));
  }

  // Runs the tool's sequence as the entry point does: it must reach its end, remove the earlier
  // entries and leave every other key of ours as it was.
  static void RunTool() {
    const std::string current = testreg::Dump(HKEY_LOCAL_MACHINE, currentUninstallKey);
    const std::string unrelated =
        testreg::Dump(HKEY_LOCAL_MACHINE, UninstallEntriesTest::Unrelated());
    EXPECT_EQ(RunMainSequence(), 0);
    EXPECT_EQ(UninstallEntriesTest::EarlierEntriesLeft(), 0);
    EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, currentUninstallKey), current);
    EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, UninstallEntriesTest::Unrelated()), unrelated);
  }

  static void ExpectRepointed(const std::string& name, const std::string& installDir = InstallDir()) {
    LinkProps expected = testlink::Sample(name);
    expected.target = installDir + "Pelmora.EXE";
    expected.workingDirectory = installDir;
    ExpectProps(installDir + name + ".LNK", expected);
  }
  static void ExpectOthersRepointed(const std::string& installDir = InstallDir()) {
    for (const char* name : shortcutNames)
      if (std::string(name) != kVictim) ExpectRepointed(name, installDir);
  }

  // The desktop as it was, and no file of the tool's own on it or below the install root.
  void ExpectTidyEnd(const std::vector<std::string>& desktopBefore) {
    EXPECT_EQ(testlink::List(desktop), desktopBefore);
    for (const std::string& folder : {desktop, std::string(kInstallRoot)}) {
      std::error_code error;
      for (std::filesystem::recursive_directory_iterator it(lane::FsPath(folder), error), end;
           !error && it != end; it.increment(error))
        EXPECT_EQ(it->path().filename().string().find(".pelmora-fixup-"), std::string::npos)
            << it->path().string();
    }
  }

  void Plant(const std::string& link) { planted_.push_back(link); }
  void MakeReadOnly(const std::string& path) {
    readOnly_.push_back(path);
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY)) << path;
  }

 private:
  std::vector<std::string> planted_, readOnly_;
};

// Opens `path` the way the tool inspects files: following every link, for attributes only.
BY_HANDLE_FILE_INFORMATION Identity(const std::string& path) {
  BY_HANDLE_FILE_INFORMATION info{};
  const UniqueHandle file(CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  EXPECT_TRUE(file.valid()) << path;
  if (file.valid()) {
    EXPECT_TRUE(GetFileInformationByHandle(file.get(), &info)) << path;
  }
  return info;
}

bool SameFile(const std::string& a, const std::string& b) {
  const auto x = Identity(a), y = Identity(b);
  return x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexLow == y.nFileIndexLow &&
         x.nFileIndexHigh == y.nFileIndexHigh;
}

// ---- shortcut files that are damaged or oversized --------------------------------------------

// Where a well-formed link file keeps its LinkInfo: after the 0x4C-byte header and the target's
// ID list, when it has one.
size_t LinkInfoOffset(const Bytes& link) {
  size_t at = 0x4C;
  if (link.size() > 0x14 && (link[0x14] & 0x01)) at += 2 + (link[at] | link[at + 1] << 8);
  return at;
}

struct DamageCase {
  const char* label;
  Bytes (*damage)(Bytes good);
  bool loadable;  // whether the damaged file still holds a whole shortcut
};

const DamageCase kDamage[] = {
    {"Empty", [](Bytes) { return Bytes{}; }, false},
    {"TruncatedToHalf",
     [](Bytes good) {
       good.resize(good.size() / 2);
       return good;
     },
     false},
    {"TruncatedInsideTheHeader",
     [](Bytes good) {
       good.resize(0x30);
       return good;
     },
     false},
    {"ForeignClassInTheHeader",
     [](Bytes good) {
       good[4] ^= 0xFF;
       return good;
     },
     false},
    {"LinkInfoSizeFarPastTheEnd",
     [](Bytes good) {
       const size_t at = LinkInfoOffset(good);
       good[at] = 0xF0, good[at + 1] = 0xFF, good[at + 2] = 0xFF, good[at + 3] = 0x00;
       return good;
     },
     false},
    {"HugeGarbage", [](Bytes) { return Bytes(4 << 20, 0xA5); }, false},
    // Megabytes after the terminal block: what a reader of the format ignores.
    {"HugeWithTrailingBytes",
     [](Bytes good) {
       good.resize(good.size() + (4 << 20), 0x5A);
       return good;
     },
     true},
};

class DamagedShortcut : public HostileInputs, public ::testing::WithParamInterface<DamageCase> {};

TEST_P(DamagedShortcut, IsLeftAsItIsOrRepointedWholeAndTheOthersAreDone) {
  SeedInstallation();
  const Bytes damaged = GetParam().damage(testlink::Bytes(Installed(kVictim)));
  testlink::PutBytes(Installed(kVictim), damaged);
  const auto desktopBefore = testlink::List(desktop);

  RunTool();

  if (GetParam().loadable)
    ExpectRepointed(kVictim);
  else
    EXPECT_EQ(testlink::Bytes(Installed(kVictim)), damaged);
  ExpectOthersRepointed();
  ExpectTidyEnd(desktopBefore);
}

INSTANTIATE_TEST_SUITE_P(, DamagedShortcut, ::testing::ValuesIn(kDamage),
                         [](const auto& info) { return std::string(info.param.label); });

TEST_F(HostileInputs, AReadOnlyShortcutStaysAsItWasAndNoCopyOfItIsLeft) {
  SeedInstallation();
  const Bytes bytes = testlink::Bytes(Installed(kVictim));
  MakeReadOnly(Installed(kVictim));
  const auto desktopBefore = testlink::List(desktop);

  RunTool();

  EXPECT_EQ(testlink::Bytes(Installed(kVictim)), bytes);
  EXPECT_TRUE(GetFileAttributesA(Installed(kVictim).c_str()) & FILE_ATTRIBUTE_READONLY);
  ExpectOthersRepointed();
  ExpectTidyEnd(desktopBefore);
}

// ---- something planted where the desktop copy would go ---------------------------------------

enum class Planted { SymbolicLinkToAFile, HardLinkToAFile, Folder, SymbolicLinkToAFolder };

class PlantedAtTheDesktopPath : public HostileInputs,
                                public ::testing::WithParamInterface<Planted> {
 protected:
  static std::string Outside() { return std::string(kInstallRoot) + "\\outside"; }
};

TEST_P(PlantedAtTheDesktopPath, WhatItNamesIsUntouchedAndTheShortcutIsLeftAlone) {
  SeedInstallation();
  const Bytes installBytes = testlink::Bytes(Installed(kVictim));
  // A shortcut outside the desktop, and a folder with one in it: had the tool followed the
  // planted entry, it would have found something to repoint there.
  const std::string precious = Outside() + "\\precious.lnk";
  const std::string folder = Outside() + "\\folder";
  testlink::MakeFolder(folder);
  testlink::Write(precious, testlink::Sample("precious"));
  testlink::Write(folder + "\\" + kVictim + ".LNK", testlink::Sample("inside"));
  const Bytes preciousBytes = testlink::Bytes(precious);
  const Bytes insideBytes = testlink::Bytes(folder + "\\" + kVictim + ".LNK");

  const std::string at = OnDesktop(std::string(kVictim) + ".LNK");
  switch (GetParam()) {
    case Planted::SymbolicLinkToAFile:
      ASSERT_TRUE(plant::SymbolicLink(at, precious));
      Plant(at);
      break;
    case Planted::HardLinkToAFile:
      ASSERT_TRUE(plant::HardLink(at, precious));
      break;
    case Planted::Folder:
      testlink::MakeFolder(at);
      testlink::Write(at + "\\" + kVictim + ".LNK", testlink::Sample("in a desktop folder"));
      break;
    case Planted::SymbolicLinkToAFolder:
      ASSERT_TRUE(plant::SymbolicLink(at, folder));
      Plant(at);
      break;
  }
  const auto desktopBefore = testlink::List(desktop);
  const Bytes atBytes = GetParam() == Planted::Folder ? testlink::Bytes(at + "\\" + kVictim + ".LNK")
                                                      : Bytes{};

  RunTool();

  EXPECT_EQ(testlink::Bytes(precious), preciousBytes);
  EXPECT_EQ(testlink::Bytes(folder + "\\" + kVictim + ".LNK"), insideBytes);
  EXPECT_EQ(testlink::List(folder), std::vector<std::string>{std::string(kVictim) + ".LNK"});
  EXPECT_EQ(testlink::List(Outside()), (std::vector<std::string>{"folder", "precious.lnk"}));
  switch (GetParam()) {
    case Planted::SymbolicLinkToAFile:
    case Planted::HardLinkToAFile:
      EXPECT_TRUE(SameFile(at, precious));
      break;
    case Planted::Folder:
      EXPECT_EQ(testlink::Bytes(at + "\\" + kVictim + ".LNK"), atBytes);
      break;
    case Planted::SymbolicLinkToAFolder:
      EXPECT_TRUE(SameFile(at, folder));
      break;
  }
  EXPECT_EQ(testlink::Bytes(Installed(kVictim)), installBytes);
  ExpectOthersRepointed();
  ExpectTidyEnd(desktopBefore);
}

INSTANTIATE_TEST_SUITE_P(, PlantedAtTheDesktopPath,
                         ::testing::Values(Planted::SymbolicLinkToAFile, Planted::HardLinkToAFile,
                                           Planted::Folder, Planted::SymbolicLinkToAFolder),
                         [](const auto& info) {
                           switch (info.param) {
                             case Planted::SymbolicLinkToAFile: return "SymbolicLinkToAFile";
                             case Planted::HardLinkToAFile: return "HardLinkToAFile";
                             case Planted::Folder: return "Folder";
                             case Planted::SymbolicLinkToAFolder: return "SymbolicLinkToAFolder";
                           }
                           return "";
                         });

// ---- install folders at the edge of the path limit -------------------------------------------

// The longest path the tool forms in the install folder: the new file beside a shortcut, before
// it replaces it. Every path must fit MAX_PATH with its terminating NUL.
size_t LongestPathIn(const std::string& installDir, const std::string& name) {
  return (installDir + name + ".LNK.pelmora-fixup-new").size();
}

class AtThePathLimit : public HostileInputs, public ::testing::WithParamInterface<size_t> {
 protected:
  // An install folder below the install root, `length` characters long with its backslash.
  static std::string InstallDirOfLength(size_t length) {
    std::string dir = std::string(kInstallRoot) + "\\";
    while (dir.size() < length) {
      size_t piece = std::min<size_t>(length - dir.size(), 100);
      if (length - dir.size() - piece == 1) --piece;  // no folder of an empty name at the end
      dir += std::string(piece - 1, 'p') + "\\";
    }
    return dir;
  }
};

TEST_P(AtThePathLimit, EveryShortcutWhosePathsFitIsRepointedAndNoOtherIsTouched) {
  // The longest shortcut names just fit (or, one byte longer, just do not); the shorter ones
  // fit either way.
  size_t longestName = 0;
  for (const char* name : shortcutNames) longestName = std::max(longestName, std::string(name).size());
  const std::string dir =
      InstallDirOfLength(MAX_PATH - 1 - LongestPathIn("", std::string(longestName, 'n')) + GetParam());
  testlink::MakeFolder(dir);
  SeedInstallation(dir);
  std::map<std::string, Bytes> before;
  for (const char* name : shortcutNames) before[name] = testlink::Bytes(dir + name + ".LNK");
  const auto desktopBefore = testlink::List(desktop);

  RunTool();

  int repointed = 0;
  for (const char* name : shortcutNames) {
    if (LongestPathIn(dir, name) < MAX_PATH) {
      ExpectRepointed(name, dir);
      ++repointed;
    } else {
      EXPECT_EQ(testlink::Bytes(dir + name + ".LNK"), before[name]) << name;
    }
  }
  EXPECT_EQ(repointed, GetParam() == 0 ? 6 : 3);
  ExpectTidyEnd(desktopBefore);
}

INSTANTIATE_TEST_SUITE_P(, AtThePathLimit, ::testing::Values(0u, 1u), [](const auto& info) {
  return info.param == 0 ? std::string("LongestThatFits") : std::string("OneByteLonger");
});

// ---- uninstall entries wide and deep ---------------------------------------------------------

TEST_F(HostileInputs, EarlierEntriesWithThousandsOfSubkeysOrAHundredLevelsGoWhole) {
  SeedInstallation();
  // 2,000 subkeys side by side, each with a value.
  std::vector<testreg::KeySpec> wide;
  for (int i = 0; i < 2000; ++i) wide.push_back({"Component " + std::to_string(i), {"File=x"}});
  testreg::Seed(HKEY_LOCAL_MACHINE, earlierUninstallKeys[0], wide);
  // A hundred levels, far past the longest path the 8-bit calls can open, values on the way.
  std::string deep;
  std::vector<testreg::KeySpec> levels;
  for (int level = 1; level <= 100; ++level) {
    deep += (deep.empty() ? "" : "\\") + std::string("Level");
    if (level % 10 == 0) levels.push_back({deep, {"Depth=" + std::to_string(level)}});
  }
  testreg::Seed(HKEY_LOCAL_MACHINE, earlierUninstallKeys[3], levels);
  ASSERT_GE(testreg::SubkeyNames(HKEY_LOCAL_MACHINE, earlierUninstallKeys[0]).size(), 2000u);
  const auto desktopBefore = testlink::List(desktop);

  RunTool();

  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, earlierUninstallKeys[0]));
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, earlierUninstallKeys[3]));
  for (const char* name : shortcutNames) ExpectRepointed(name);
  ExpectTidyEnd(desktopBefore);
}

}  // namespace
