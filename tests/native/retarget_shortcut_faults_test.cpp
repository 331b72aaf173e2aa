// The retargeting's texts, failure paths and protections, provoked and observed through the
// emulated platform.
#include <unistd.h>

#include "platform/emulated/control.h"
#include "shortcuts/retarget_shortcut.h"
#include "tests/support/install_fixture.h"

namespace {

using testlink::LinkProps;

class RetargetShortcutFaults : public InstallFolderTest {
 protected:
  void Retarget(const std::string& name) {
    ComScope com;
    emu::ClearJournal();
    RetargetShortcut(name, InstallDir());
    journal_ = emu::Journal();
  }
  std::vector<std::string> Entries(const std::string& call) const {
    std::vector<std::string> out;
    for (const auto& e : journal_)
      if (e.call == call) out.push_back(e.key + "|" + e.name + "|" + e.detail);
    return out;
  }
  std::filesystem::path Host(const std::string& windowsPath) const { return lane::FsPath(windowsPath); }

  std::vector<emu::JournalEntry> journal_;
};

TEST_F(RetargetShortcutFaults, FormsItsTextsFromTheFolderAndTheName) {
  testlink::Write(Installed("Pelmora Heritage"), testlink::Sample("texts"));
  Retarget("Pelmora Heritage");
  const std::string onDesktop = OnDesktop("Pelmora Heritage.LNK");
  EXPECT_EQ(Entries("CopyFileA").front(),
            Installed("Pelmora Heritage") + "|" + onDesktop + "|failIfExists");
  EXPECT_EQ(Entries("IShellLinkA::SetPath"),
            std::vector<std::string>{"||" + InstallDir() + "Pelmora.EXE"});
  EXPECT_EQ(Entries("IShellLinkA::SetWorkingDirectory"),
            std::vector<std::string>{"||" + InstallDir()});
  EXPECT_EQ(Entries("IPersistFile::Save"), std::vector<std::string>{onDesktop + "||"});
  EXPECT_EQ(Entries("MoveFileExA").back(), Installed("Pelmora Heritage") + ".pelmora-fixup-new|" +
                                               Installed("Pelmora Heritage") + "|flags=9");
}

TEST_F(RetargetShortcutFaults, WithoutADesktopDirectoryNoFileIsTouched) {
  testlink::Write(Installed("Signal Desk"), testlink::Sample("s"));
  const auto bytes = testlink::Bytes(Installed("Signal Desk"));
  for (int variant = 0; variant < 3; ++variant) {
    if (variant == 0) emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, "");
    if (variant == 1) emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, desktop, false);
    if (variant == 2) {
      emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, desktop);
      emu::FailCall("SHGetSpecialFolderLocation", 1, S_FALSE);
    }
    Retarget("Signal Desk");
    EXPECT_TRUE(Entries("CopyFileA").empty()) << variant;
    EXPECT_TRUE(Entries("MoveFileExA").empty()) << variant;
    EXPECT_EQ(testlink::Bytes(Installed("Signal Desk")), bytes) << variant;
  }
}

TEST_F(RetargetShortcutFaults, WhenTheLookupRaisesTheCopyGoesAndTheFileStays) {
  testlink::Write(Installed("Pelmora Heritage"), testlink::Sample("raise"));
  const auto bytes = testlink::Bytes(Installed("Pelmora Heritage"));
  emu::FailCall("IPersistFile::Load", 1, E_FAIL);
  Retarget("Pelmora Heritage");
  EXPECT_EQ(testlink::Bytes(Installed("Pelmora Heritage")), bytes);
  EXPECT_EQ(testlink::List(desktop), std::vector<std::string>{});
}

TEST_F(RetargetShortcutFaults, ARefusedPersistInterfaceCarriesTheUnchangedCopyBack) {
  testlink::Write(Installed("Pelmora Heritage"), testlink::Sample("unchanged"));
  const auto bytes = testlink::Bytes(Installed("Pelmora Heritage"));
  // The lookup asks once, the retargeting a second time.
  emu::FailCall("ShellLink::QueryInterface", 2, E_NOINTERFACE, "IPersistFile");
  Retarget("Pelmora Heritage");
  EXPECT_TRUE(Entries("IPersistFile::Save").empty());
  EXPECT_EQ(testlink::Bytes(Installed("Pelmora Heritage")), bytes);
  EXPECT_EQ(testlink::List(desktop), std::vector<std::string>{});
}

TEST_F(RetargetShortcutFaults, ADesktopAtADriveRootGetsNoSecondBackslash) {
  emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, "C:\\");
  const LinkProps before = testlink::Sample("root");
  testlink::Write(Installed("Pelmora Heritage"), before);
  Retarget("Pelmora Heritage");
  EXPECT_EQ(Entries("IPersistFile::Save"), std::vector<std::string>{"C:\\Pelmora Heritage.LNK||"});
  ExpectProps(Installed("Pelmora Heritage"), Repointed(before));
  EXPECT_FALSE(testlink::Exists("C:\\Pelmora Heritage.LNK"));
}

TEST_F(RetargetShortcutFaults, AFailingReplaceLeavesTheOldFileAndNoTemporaryOne) {
  testlink::Write(Installed("Pelmora Heritage"), testlink::Sample("old"));
  const auto bytes = testlink::Bytes(Installed("Pelmora Heritage"));
  emu::FailCall("MoveFileExA", 1, ERROR_ACCESS_DENIED, "Pelmora Heritage.LNK");
  Retarget("Pelmora Heritage");
  EXPECT_EQ(testlink::Bytes(Installed("Pelmora Heritage")), bytes);
  EXPECT_EQ(testlink::List(InstallDir()), std::vector<std::string>{"Pelmora Heritage.LNK"});
  EXPECT_EQ(testlink::List(desktop), std::vector<std::string>{});
}

TEST_F(RetargetShortcutFaults, AReadOnlyShortcutStaysAsItWas) {
  testlink::Write(Installed("Pelmora Heritage"), testlink::Sample("read-only"));
  const auto bytes = testlink::Bytes(Installed("Pelmora Heritage"));
  std::filesystem::permissions(Host(Installed("Pelmora Heritage")),
                               std::filesystem::perms::owner_write |
                                   std::filesystem::perms::group_write |
                                   std::filesystem::perms::others_write,
                               std::filesystem::perm_options::remove);
  Retarget("Pelmora Heritage");
  EXPECT_EQ(testlink::Bytes(Installed("Pelmora Heritage")), bytes);
  EXPECT_EQ(testlink::List(InstallDir()), std::vector<std::string>{"Pelmora Heritage.LNK"});
}

// Whatever stands at the desktop path and is not a plain file of its own is never moved,
// written or deleted; that shortcut is left alone.
class SomethingPlantedAtTheDesktopPath : public RetargetShortcutFaults,
                                         public ::testing::WithParamInterface<const char*> {};

TEST_P(SomethingPlantedAtTheDesktopPath, IsLeftAloneAndSoIsTheShortcut) {
  const std::string kind = GetParam();
  testlink::Write(Installed("Pelmora Heritage"), testlink::Sample("planted"));
  const auto installBytes = testlink::Bytes(Installed("Pelmora Heritage"));
  const std::filesystem::path elsewhere = Host(std::string(kInstallRoot) + "\\precious.lnk");
  testlink::Write(std::string(kInstallRoot) + "\\precious.lnk", testlink::Sample("precious"));
  const auto preciousBytes = testlink::Bytes(std::string(kInstallRoot) + "\\precious.lnk");
  const std::filesystem::path planted = Host(desktop) / "Pelmora Heritage.LNK";
  if (kind == "SymbolicLink") std::filesystem::create_symlink(elsewhere, planted);
  if (kind == "HardLink") std::filesystem::create_hard_link(elsewhere, planted);
  if (kind == "Folder") std::filesystem::create_directory(planted);
  if (kind == "LinkToAnotherDesktopFile") {
    testlink::PutBytes(OnDesktop("other.lnk"), {1, 2, 3});
    std::filesystem::create_symlink(Host(OnDesktop("other.lnk")), planted);
  }
  const auto desktopBefore = testlink::List(desktop);

  Retarget("Pelmora Heritage");

  EXPECT_EQ(testlink::Bytes(Installed("Pelmora Heritage")), installBytes);
  EXPECT_EQ(testlink::Bytes(std::string(kInstallRoot) + "\\precious.lnk"), preciousBytes);
  EXPECT_EQ(testlink::List(desktop), desktopBefore);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::symlink_status(planted)));
  EXPECT_TRUE(Entries("MoveFileExA").empty());
  EXPECT_TRUE(Entries("DeleteFileA").empty());
}

INSTANTIATE_TEST_SUITE_P(, SomethingPlantedAtTheDesktopPath,
                         ::testing::Values("SymbolicLink", "HardLink", "Folder",
                                           "LinkToAnotherDesktopFile"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(RetargetShortcutFaults, AnOverlongDesktopPathLeavesTheShortcutAlone) {
  // A desktop deep enough that its scratch path would not fit the 8-bit file calls.
  std::string deep = "C:\\Users\\tester";
  while (deep.size() < 250) deep += "\\deeper";
  testlink::MakeFolder(deep);
  emu::SetSpecialFolder(CSIDL_DESKTOPDIRECTORY, deep);
  testlink::Write(Installed("Pelmora Heritage"), testlink::Sample("long"));
  const auto bytes = testlink::Bytes(Installed("Pelmora Heritage"));
  Retarget("Pelmora Heritage");
  EXPECT_EQ(testlink::Bytes(Installed("Pelmora Heritage")), bytes);
  EXPECT_EQ(testlink::List(deep), std::vector<std::string>{});
  EXPECT_TRUE(Entries("CopyFileA").empty());
}

// A run killed half-way leaves files of its own behind; the next run puts the user's file back
// and removes the rest before it does its own work.
struct LeftoverCase {
  const char* label;
  bool userFileAside;
  bool marker;
  bool scratchCopy;
  bool replacement;
};

class LeftoversOfAKilledRun : public RetargetShortcutFaults,
                              public ::testing::WithParamInterface<LeftoverCase> {};

TEST_P(LeftoversOfAKilledRun, AreTidiedByTheNextRun) {
  const LeftoverCase& c = GetParam();
  const LinkProps installed = testlink::Sample("installed");
  testlink::Write(Installed("Pelmora Heritage"), installed);
  testlink::Write(OnDesktop("Pelmora heritage.lnk"), testlink::Sample("the user's"));
  const auto userBytes = testlink::Bytes(OnDesktop("Pelmora heritage.lnk"));
  if (c.userFileAside)
    std::filesystem::rename(Host(OnDesktop("Pelmora heritage.lnk")),
                            Host(desktop) / "Pelmora heritage.lnk.pelmora-fixup-saved");
  if (c.marker) testlink::PutBytes(OnDesktop("Pelmora Heritage.LNK.pelmora-fixup-scratch"), {});
  if (c.scratchCopy)
    std::filesystem::copy_file(Host(Installed("Pelmora Heritage")),
                               Host(desktop) / "Pelmora Heritage.LNK");
  if (c.replacement)
    testlink::PutBytes(Installed("Pelmora Heritage") + ".pelmora-fixup-new", {1, 2});

  Retarget("Pelmora Heritage");

  ExpectProps(Installed("Pelmora Heritage"), Repointed(installed));
  EXPECT_EQ(testlink::List(desktop), std::vector<std::string>{"Pelmora heritage.lnk"});
  EXPECT_EQ(testlink::Bytes(OnDesktop("Pelmora heritage.lnk")), userBytes);
  EXPECT_EQ(testlink::List(InstallDir()), std::vector<std::string>{"Pelmora Heritage.LNK"});
}

INSTANTIATE_TEST_SUITE_P(
    , LeftoversOfAKilledRun,
    ::testing::Values(LeftoverCase{"UserFileAside", true, false, false, false},
                      LeftoverCase{"AsideAndMarker", true, true, false, false},
                      LeftoverCase{"AsideMarkerAndCopy", true, true, true, false},
                      LeftoverCase{"ReplacementBesideTheInstallFile", false, false, false, true}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
