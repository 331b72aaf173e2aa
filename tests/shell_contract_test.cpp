// What the shortcut operations rely on from the shell, COM and file calls. Runs on the emulated
// platform and on a real one alike: where they disagree, the emulation is wrong.
#include <algorithm>
#include <utility>

#include "platform/holders.h"
#include "platform/wide_text.h"
#include "tests/support/desktop_fixture.h"

namespace {

using testlink::LinkProps;

class ShellContract : public DesktopTest {
 protected:
  struct Item {
    std::string display, parsing;
    bool operator<(const Item& o) const { return display < o.display; }
  };

  static std::string Take(STRRET& name, LPCITEMIDLIST item, IMalloc* allocator) {
    switch (name.uType) {
      case STRRET_WSTR: {
        WideString wide(name.pOleStr);
        allocator->Free(name.pOleStr);
        return WideToAnsi(wide);
      }
      case STRRET_OFFSET:
        return reinterpret_cast<const char*>(item) + name.uOffset;
      case STRRET_CSTR:
        return name.cStr;
    }
    return "<unknown kind>";
  }

  // The desktop directory's non-folder items as the shell lists them.
  std::vector<Item> DesktopItems() {
    std::vector<Item> items;
    ComScope com;
    ComPtr<IMalloc> allocator;
    EXPECT_EQ(SHGetMalloc(allocator.put()), S_OK);
    ShellMemory<ITEMIDLIST> folderIdList(allocator.get());
    EXPECT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, folderIdList.put()), S_OK);
    ComPtr<IShellFolder> root, folder;
    EXPECT_EQ(SHGetDesktopFolder(root.put()), S_OK);
    EXPECT_EQ(root->BindToObject(folderIdList.get(), nullptr, IID_IShellFolder, folder.putVoid()),
              S_OK);
    ComPtr<IEnumIDList> list;
    EXPECT_TRUE(SUCCEEDED(folder->EnumObjects(nullptr, SHCONTF_NONFOLDERS, list.put())));
    if (!list) return items;
    for (;;) {
      ShellMemory<ITEMIDLIST> item(allocator.get());
      if (list->Next(1, item.put(), nullptr) != S_OK) break;
      STRRET display{}, parsing{};
      EXPECT_EQ(folder->GetDisplayNameOf(item.get(), SHGDN_INFOLDER, &display), S_OK);
      EXPECT_EQ(folder->GetDisplayNameOf(item.get(), SHGDN_FORPARSING, &parsing), S_OK);
      items.push_back(Item{Take(display, item.get(), allocator.get()),
                           Take(parsing, item.get(), allocator.get())});
    }
    std::sort(items.begin(), items.end());
    return items;
  }
};

TEST_F(ShellContract, TheDesktopDirectoryHasAFileSystemPath) {
  ComScope com;
  ComPtr<IMalloc> allocator;
  ASSERT_EQ(SHGetMalloc(allocator.put()), S_OK);
  ShellMemory<ITEMIDLIST> folderIdList(allocator.get());
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DESKTOPDIRECTORY, folderIdList.put()), S_OK);
  char path[MAX_PATH] = "";
  ASSERT_TRUE(SHGetPathFromIDListA(folderIdList.get(), path));
  EXPECT_EQ(std::string(path), desktop);
}

TEST_F(ShellContract, NonFolderItemsAreListedWithDisplayAndParsingNames) {
  testlink::Write(OnDesktop("Pelmora Heritage.LNK"), testlink::Sample("a"));
  testlink::Write(OnDesktop("lower.lnk"), testlink::Sample("b"));
  testlink::PutBytes(OnDesktop("notes.txt"), {'x'});
  testlink::PutBytes(OnDesktop(".hidden.lnk"), {'x'});
  testlink::MakeFolder(OnDesktop("Pelmora Folder"));

  const std::vector<Item> items = DesktopItems();
  std::vector<std::pair<std::string, std::string>> seen;
  for (const Item& item : items) seen.emplace_back(item.display, item.parsing);
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, std::string>>{
                      {"Pelmora Heritage", OnDesktop("Pelmora Heritage.LNK")},
                      {"lower", OnDesktop("lower.lnk")},
                      {"notes.txt", OnDesktop("notes.txt")}}));
}

TEST_F(ShellContract, ALinkLoadsEveryPropertyItWasSavedWith) {
  const LinkProps saved = testlink::Sample("round");
  testlink::Write(OnDesktop("round.lnk"), saved);
  const auto loaded = testlink::Read(OnDesktop("round.lnk"));
  ASSERT_TRUE(loaded);
  LinkProps withoutShow = *loaded;
  withoutShow.showCommand = saved.showCommand;
  EXPECT_EQ(withoutShow, saved);
  EXPECT_EQ_UNLESS_PLATFORM_GAP("shell link reads the show command back", saved.showCommand,
                                loaded->showCommand);
}

TEST_F(ShellContract, PropertiesNotSetAfterALoadKeepTheirValuesThroughASave) {
  const LinkProps saved = testlink::Sample("keep");
  testlink::Write(OnDesktop("keep.lnk"), saved);
  {
    ComScope com;
    ComPtr<IShellLinkA> link;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               link.putVoid()),
              S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(link->QueryInterface(IID_IPersistFile, file.putVoid()), S_OK);
    WideString path;
    ASSERT_TRUE(AnsiToWide(OnDesktop("keep.lnk"), MAX_PATH, &path));
    ASSERT_EQ(file->Load(path.c_str(), STGM_READ | STGM_SHARE_DENY_WRITE), S_OK);
    link->SetPath("D:\\New Place\\Pelmora.EXE");
    link->SetWorkingDirectory("D:\\New Place\\");
    ASSERT_EQ(file->Save(path.c_str(), FALSE), S_OK);
  }
  const auto loaded = testlink::Read(OnDesktop("keep.lnk"));
  ASSERT_TRUE(loaded);
  LinkProps expected = saved;
  expected.target = "D:\\New Place\\Pelmora.EXE";
  expected.workingDirectory = "D:\\New Place\\";
  expected.showCommand = loaded->showCommand;  // pinned by the round-trip check above
  EXPECT_EQ(*loaded, expected);
}

TEST_F(ShellContract, AnObjectFromAnInnerComScopeStaysUsableWhileTheOuterIsOpen) {
  ComScope outer;
  ComPtr<IShellLinkA> link;
  {
    ComScope inner;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               link.putVoid()),
              S_OK);
  }
  EXPECT_EQ(link->SetDescription("still here"), S_OK);
  char text[64] = "";
  EXPECT_EQ(link->GetDescription(text, sizeof text), S_OK);
  EXPECT_STREQ(text, "still here");
  link.reset();
}

TEST_F(ShellContract, CopyReplacesAnExistingFileUnlessAskedToFail) {
  testlink::PutBytes(OnDesktop("from.bin"), {1, 2, 3});
  testlink::PutBytes(OnDesktop("to.bin"), {9, 9, 9, 9, 9});
  EXPECT_FALSE(CopyFileA(OnDesktop("from.bin").c_str(), OnDesktop("to.bin").c_str(), TRUE));
  EXPECT_EQ(testlink::Bytes(OnDesktop("to.bin")), (std::vector<BYTE>{9, 9, 9, 9, 9}));
  EXPECT_TRUE(CopyFileA(OnDesktop("from.bin").c_str(), OnDesktop("to.bin").c_str(), FALSE));
  EXPECT_EQ(testlink::Bytes(OnDesktop("to.bin")), (std::vector<BYTE>{1, 2, 3}));
  EXPECT_FALSE(CopyFileA(OnDesktop("none.bin").c_str(), OnDesktop("to.bin").c_str(), FALSE));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(ShellContract, FileCallsOnAPathThatBeginsWithAQuoteFail) {
  testlink::PutBytes(OnDesktop("x.lnk"), {1});
  const std::string quoted = "\"" + OnDesktop("x.lnk");
  EXPECT_FALSE(CopyFileA(quoted.c_str(), OnDesktop("y.lnk").c_str(), FALSE));
  EXPECT_FALSE(CopyFileA(OnDesktop("x.lnk").c_str(), quoted.c_str(), FALSE));
  EXPECT_FALSE(DeleteFileA(quoted.c_str()));
  EXPECT_TRUE(testlink::Exists(OnDesktop("x.lnk")));
  EXPECT_FALSE(testlink::Exists(OnDesktop("y.lnk")));
}

TEST_F(ShellContract, DeleteRemovesAFileAndReportsAMissingOne) {
  testlink::PutBytes(OnDesktop("gone.lnk"), {1});
  EXPECT_TRUE(DeleteFileA(OnDesktop("gone.lnk").c_str()));
  EXPECT_FALSE(testlink::Exists(OnDesktop("gone.lnk")));
  EXPECT_FALSE(DeleteFileA(OnDesktop("gone.lnk").c_str()));
  EXPECT_FALSE(DeleteFileA(""));
}

// A copy of a read-only file is read-only too, and a read-only file cannot be deleted: a copy of
// a protected shortcut would stay on the desktop.
TEST_F(ShellContract, ACopyOfAReadOnlyFileIsReadOnlyAndCannotBeDeleted) {
  testlink::PutBytes(OnDesktop("kept.bin"), {1, 2, 3});
  ASSERT_TRUE(SetFileAttributesA(OnDesktop("kept.bin").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(CopyFileA(OnDesktop("kept.bin").c_str(), OnDesktop("copy.bin").c_str(), TRUE));
  EXPECT_NE(GetFileAttributesA(OnDesktop("copy.bin").c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
  EXPECT_FALSE(DeleteFileA(OnDesktop("copy.bin").c_str()));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(testlink::Bytes(OnDesktop("copy.bin")), (std::vector<BYTE>{1, 2, 3}));
  for (const char* name : {"kept.bin", "copy.bin"}) {
    EXPECT_TRUE(SetFileAttributesA(OnDesktop(name).c_str(), FILE_ATTRIBUTE_NORMAL));
    EXPECT_TRUE(DeleteFileA(OnDesktop(name).c_str()));
  }
}

TEST_F(ShellContract, SystemMessagesComeInALocalBlock) {
  char* text = nullptr;
  ASSERT_GT(FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM, nullptr,
                           ERROR_ACCESS_DENIED, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                           reinterpret_cast<LPSTR>(&text), 0, nullptr),
            0u);
  ASSERT_NE(text, nullptr);
  // The wording is the system's own; a message ends its line.
  const std::string message = text;
  EXPECT_GT(message.size(), 2u);
  EXPECT_EQ(message.substr(message.size() - 2), "\r\n");
  EXPECT_EQ(LocalFree(text), nullptr);
}

}  // namespace
