#include "shortcuts/open_folder_shortcut.h"

#include "tests/support/desktop_fixture.h"

namespace {

using testlink::LinkProps;

class OpenFolderShortcutTest : public DesktopTest {
 protected:
  // Looks `name` up on the desktop directory without creating, inside a scope of the caller's
  // own (as the retargeting holds one), and hands back the link's properties.
  std::optional<LinkProps> Find(const std::string& name, std::string* path = nullptr) {
    ComScope com;
    ComPtr<IShellLinkA> link;
    AnsiString found = "untouched";
    OpenFolderShortcut(nullptr, "", "", "", 0, name, CSIDL_DESKTOPDIRECTORY, false, &link, found);
    if (path) *path = found;
    if (!link) return std::nullopt;
    return testlink::PropsOf(link.get());
  }
  AnsiString Create(const std::string& name, const std::string& target, const std::string& args,
                    const std::string& icon, int iconIndex, ComPtr<IShellLinkA>* link) {
    AnsiString path;
    OpenFolderShortcut(nullptr, target, args, icon, iconIndex, name, CSIDL_DESKTOPDIRECTORY, true,
                       link, path);
    return path;
  }
};

TEST_F(OpenFolderShortcutTest, FindsAShortcutByItsDisplayNameAndLoadsIt) {
  const LinkProps props = testlink::Sample("heritage");
  testlink::Write(OnDesktop("Pelmora Heritage.LNK"), props);
  std::string path;
  const auto found = Find("Pelmora Heritage", &path);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->target, props.target);
  EXPECT_EQ(found->description, props.description);
  EXPECT_EQ(found->arguments, props.arguments);
  EXPECT_EQ(path, OnDesktop("Pelmora Heritage.LNK"));
}

TEST_F(OpenFolderShortcutTest, NamesMatchWholeAndWithTheirCase) {
  testlink::Write(OnDesktop("Signal Desk.lnk"), testlink::Sample("desk"));
  for (const char* name : {"signal desk", "Signal Des", "Signal Desk.lnk", "Signal Desk "}) {
    std::string path;
    EXPECT_FALSE(Find(name, &path)) << name;
    EXPECT_EQ(path, "") << name;
  }
}

TEST_F(OpenFolderShortcutTest, FoldersAndHiddenItemsAreNeverFound) {
  testlink::MakeFolder(OnDesktop("Sweep Everything!"));
  testlink::Write(OnDesktop(".Signal Desk.lnk"), testlink::Sample("hidden"));
  EXPECT_FALSE(Find("Sweep Everything!"));
  EXPECT_FALSE(Find(".Signal Desk"));
  EXPECT_FALSE(Find("Signal Desk"));
}

TEST_F(OpenFolderShortcutTest, NotFoundLeavesTheCallersLinkInItsHolder) {
  ComScope com;
  ComPtr<IShellLinkA> mine;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                             mine.putVoid()),
            S_OK);
  IShellLinkA* const before = mine.get();
  AnsiString path = "untouched";
  OpenFolderShortcut(nullptr, "", "", "", 0, "Nothing Here", CSIDL_DESKTOPDIRECTORY, false, &mine,
                     path);
  EXPECT_EQ(mine.get(), before);
  EXPECT_EQ(path, "");
}

TEST_F(OpenFolderShortcutTest, WithoutAHolderTheLinkIsReleasedAndOnlyThePathReported) {
  testlink::Write(OnDesktop("Pelmora Junior DISCOVER.lnk"), testlink::Sample("discover"));
  AnsiString path;
  OpenFolderShortcut(nullptr, "", "", "", 0, "Pelmora Junior DISCOVER", CSIDL_DESKTOPDIRECTORY,
                     false, nullptr, path);
  EXPECT_EQ(path, OnDesktop("Pelmora Junior DISCOVER.lnk"));
}

struct CreateCase {
  const char* label;
  const char* target;
  const char* arguments;
  const char* icon;
  int iconIndex;
  const char* workingDirectory;
};

class CreatesAShortcut : public OpenFolderShortcutTest,
                         public ::testing::WithParamInterface<CreateCase> {};

TEST_P(CreatesAShortcut, WithTheGivenPropertiesInLowerCaseLnk) {
  const CreateCase& c = GetParam();
  ComScope com;
  ComPtr<IShellLinkA> link;
  const AnsiString path = Create("Made Here", c.target, c.arguments, c.icon, c.iconIndex, &link);
  EXPECT_EQ(path, OnDesktop("Made Here.lnk"));
  ASSERT_TRUE(link);
  const LinkProps made = testlink::PropsOf(link.get());
  link.reset();
  // A target without a folder is taken relative to the current directory by the link itself.
  const std::string target = std::string(c.target);
  const bool relative = !target.empty() && target.find('\\') == std::string::npos;
  const auto targetMatches = [&](const std::string& made) {
    return relative ? made.size() > target.size() + 1 &&
                          made.compare(made.size() - target.size() - 1, std::string::npos,
                                       "\\" + target) == 0
                    : made == target;
  };
  EXPECT_TRUE(targetMatches(made.target)) << made.target;
  EXPECT_EQ(made.arguments, c.arguments);
  EXPECT_EQ(made.description, "");
  EXPECT_EQ(made.iconLocation, c.icon);
  EXPECT_EQ(made.iconIndex, *c.icon ? c.iconIndex : 0);
  EXPECT_EQ(made.workingDirectory, c.workingDirectory);
  const auto saved = testlink::Read(path);
  ASSERT_TRUE(saved);
  EXPECT_TRUE(targetMatches(saved->target)) << saved->target;
  EXPECT_EQ(saved->workingDirectory, c.workingDirectory);
}

INSTANTIATE_TEST_SUITE_P(
    , CreatesAShortcut,
    ::testing::Values(
        CreateCase{"Everything", "C:\\Tools\\run.exe", "/fast", "C:\\Tools\\run.ico", 2,
                   "C:\\Tools"},
        CreateCase{"TargetAtADriveRoot", "C:\\run.exe", "", "", 0, "C:"},
        CreateCase{"TargetWithoutAFolder", "run.exe", "", "", 0, ""},
        CreateCase{"IconIndexWithoutIcon", "C:\\Tools\\run.exe", "", "", 5, "C:\\Tools"},
        CreateCase{"NothingButTheName", "", "", "", 0, ""}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(OpenFolderShortcutTest, AnExistingShortcutIsOpenedRatherThanCreated) {
  const LinkProps props = testlink::Sample("existing");
  testlink::Write(OnDesktop("Existing.lnk"), props);
  ComScope com;
  ComPtr<IShellLinkA> link;
  const AnsiString path = Create("Existing", "C:\\Other\\x.exe", "", "", 0, &link);
  ASSERT_TRUE(link);
  EXPECT_EQ(testlink::PropsOf(link.get()).target, props.target);
  EXPECT_EQ(path, OnDesktop("Existing.lnk"));
}

TEST_F(OpenFolderShortcutTest, AFileThatIsNoShortcutFailsToLoadWithItsMessage) {
  testlink::PutBytes(OnDesktop("Broken.lnk"), {'n', 'o', 't', ' ', 'a', ' ', 'l', 'i', 'n', 'k'});
  ComScope com;
  ComPtr<IShellLinkA> link;
  AnsiString path = "untouched";
  try {
    OpenFolderShortcut(nullptr, "", "", "", 0, "Broken", CSIDL_DESKTOPDIRECTORY, false, &link,
                       path);
    FAIL() << "no exception";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "Error loading the existing IShellLink");
  }
  EXPECT_FALSE(link);
  EXPECT_EQ(path, "untouched");
  EXPECT_EQ(lane::ComInitDepth(), 1);  // our own scope is the only one left
}

}  // namespace
