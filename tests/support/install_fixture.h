// An installation folder with product shortcuts in it, beside the user's desktop.
#pragma once

#include <string>
#include <vector>

#include "platform/holders.h"
#include "tests/support/desktop_fixture.h"

class InstallFolderTest : public DesktopTest {
 protected:
  static constexpr const char* kInstallRoot = "C:\\pelmora-tests";
  static std::string InstallDir() { return std::string(kInstallRoot) + "\\Pelmora V3.2 Install\\"; }
  static std::string Installed(const std::string& shortcutName) {
    return InstallDir() + shortcutName + ".LNK";
  }
  // What a repointed shortcut must hold: the new target and folder, the rest as it was.
  static testlink::LinkProps Repointed(testlink::LinkProps before) {
    before.target = InstallDir() + "Pelmora.EXE";
    before.workingDirectory = InstallDir();
    return before;
  }

  void SetUp() override {
    DesktopTest::SetUp();
    testlink::RemoveAll(kInstallRoot);
    testlink::MakeFolder(InstallDir());
  }
  void CleanUp() override {
    testlink::RemoveAll(kInstallRoot);
    DesktopTest::CleanUp();
  }

  // Checks a shortcut's properties; the show command only where the platform reads it back.
  static void ExpectProps(const std::string& path, const testlink::LinkProps& expected) {
    const auto loaded = testlink::Read(path);
    ASSERT_TRUE(loaded) << path;
    testlink::LinkProps rest = *loaded;
    rest.showCommand = expected.showCommand;
    EXPECT_EQ(rest, expected) << path;
    EXPECT_EQ_UNLESS_PLATFORM_GAP("shell link reads the show command back", expected.showCommand,
                                  loaded->showCommand);
  }
};
