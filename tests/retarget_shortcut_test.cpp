#include "shortcuts/retarget_shortcut.h"

#include "tests/support/install_fixture.h"

namespace {

using testlink::LinkProps;

class RetargetShortcutTest : public InstallFolderTest {
 protected:
  void Retarget(const std::string& name, const std::string& installDir = InstallDir()) {
    ComScope com;  // the driver's scope, which every retargeting needs
    RetargetShortcut(name, installDir);
  }
};

TEST_F(RetargetShortcutTest, RepointsTargetAndFolderAndKeepsEverythingElse) {
  const LinkProps before = testlink::Sample("heritage");
  testlink::Write(Installed("Pelmora Heritage"), before);
  const auto desktopBefore = testlink::List(desktop);
  Retarget("Pelmora Heritage");
  ExpectProps(Installed("Pelmora Heritage"), Repointed(before));
  EXPECT_EQ(testlink::List(desktop), desktopBefore);
  EXPECT_EQ(testlink::List(InstallDir()), std::vector<std::string>{"Pelmora Heritage.LNK"});
}

TEST_F(RetargetShortcutTest, AMissingShortcutIsNeitherCreatedNorLeftAnywhere) {
  Retarget("Signal Desk");
  EXPECT_EQ(testlink::List(InstallDir()), std::vector<std::string>{});
  EXPECT_FALSE(testlink::Exists(OnDesktop("Signal Desk.LNK")));
}

TEST_F(RetargetShortcutTest, AUsersDesktopFileOfTheSameNameSurvivesUnderItsOwnName) {
  const LinkProps installed = testlink::Sample("installed");
  testlink::Write(Installed("Sweep Everything!"), installed);
  testlink::Write(OnDesktop("sweep everything!.lnk"), testlink::Sample("the user's own"));
  const auto userBytes = testlink::Bytes(OnDesktop("sweep everything!.lnk"));
  const auto desktopBefore = testlink::List(desktop);

  Retarget("Sweep Everything!");

  ExpectProps(Installed("Sweep Everything!"), Repointed(installed));
  EXPECT_EQ(testlink::List(desktop), desktopBefore);
  EXPECT_EQ(testlink::Bytes(OnDesktop("sweep everything!.lnk")), userBytes);
}

TEST_F(RetargetShortcutTest, AFileThatIsNoShortcutStaysAsItWasAndTheNextIsDone) {
  const std::vector<BYTE> garbage = {'L', 0, 0, 0, 'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'n', 'k'};
  testlink::PutBytes(Installed("Pelmora Junior PLAYTIME"), garbage);
  const LinkProps next = testlink::Sample("discover");
  testlink::Write(Installed("Pelmora Junior DISCOVER"), next);
  const auto desktopBefore = testlink::List(desktop);

  Retarget("Pelmora Junior PLAYTIME");
  Retarget("Pelmora Junior DISCOVER");

  EXPECT_EQ(testlink::Bytes(Installed("Pelmora Junior PLAYTIME")), garbage);
  ExpectProps(Installed("Pelmora Junior DISCOVER"), Repointed(next));
  EXPECT_EQ(testlink::List(desktop), desktopBefore);
}

TEST_F(RetargetShortcutTest, AnInstallFolderBeginningWithAQuoteNamesNoFile) {
  const LinkProps before = testlink::Sample("quoted");
  testlink::Write(Installed("Signal Desk"), before);
  const auto bytes = testlink::Bytes(Installed("Signal Desk"));
  Retarget("Signal Desk", "\"" + InstallDir());
  EXPECT_EQ(testlink::Bytes(Installed("Signal Desk")), bytes);
  EXPECT_FALSE(testlink::Exists(OnDesktop("Signal Desk.LNK")));
}

TEST_F(RetargetShortcutTest, AnInstallFolderWithoutItsBackslashIsJoinedAsItStands) {
  const std::string bare = InstallDir().substr(0, InstallDir().size() - 1);
  const LinkProps before = testlink::Sample("joined");
  testlink::Write(bare + "Pelmora Heritage.LNK", before);
  Retarget("Pelmora Heritage", bare);
  LinkProps expected = before;
  expected.target = bare + "Pelmora.EXE";
  expected.workingDirectory = bare;
  ExpectProps(bare + "Pelmora Heritage.LNK", expected);
}

}  // namespace
