// Order of changes and failure handling of the tree removal, observed through the emulated
// platform's journal and provoked through its fault plan.
#include <algorithm>

#include "platform/emulated/control.h"
#include "registry/delete_registry_tree.h"
#include "tests/support/platform_test.h"

namespace {

class DeleteRegistryTreeFaults : public RegistryTest {
 protected:
  // The changes a run made, in order, with paths shortened to below the scratch key:
  // "value A\B|x", "key A|B".
  std::vector<std::string> Changes() const {
    std::vector<std::string> changes;
    const std::string prefix = "HKLM\\" + scratch;
    auto shorten = [&](std::string path) {
      if (path.rfind(prefix, 0) == 0) path.erase(0, std::min(path.size(), prefix.size() + 1));
      return path;
    };
    for (const auto& entry : emu::Journal()) {
      if (entry.call == "RegDeleteValueA")
        changes.push_back("value " + shorten(entry.key) + "|" + entry.name);
      if (entry.call == "RegDeleteKeyA") {
        std::string key = shorten(entry.key + "\\" + entry.name);
        changes.push_back("key " + key);
      }
    }
    return changes;
  }

  std::string At(const std::string& path) const { return scratch + "\\" + path; }
};

TEST_F(DeleteRegistryTreeFaults, ValuesThenSubkeysCompletelyThenTheKey) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch,
                {{"A", {"a1=1", "a2=2"}}, {"A\\B", {"b=1"}}, {"A\\B\\C", {"c=1"}},
                 {"A\\D", {"d=1"}}});
  emu::ClearJournal();
  EXPECT_TRUE(DeleteRegistryTree(At("A")));
  EXPECT_EQ(Changes(), (std::vector<std::string>{"value A|a1", "value A|a2", "value A\\B|b",
                                                 "value A\\B\\C|c", "key A\\B\\C", "key A\\B",
                                                 "value A\\D|d", "key A\\D", "key A"}));
}

TEST_F(DeleteRegistryTreeFaults, EveryLevelOpensByItsFullPathFromTheRoot) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"A\\B\\C", {}}});
  emu::ClearJournal();
  DeleteRegistryTree(At("A"));
  std::vector<std::string> allAccessOpens;
  for (const auto& entry : emu::Journal())
    if (entry.call == "RegOpenKeyExA" && entry.key == "HKLM")
      allAccessOpens.push_back(entry.name + " " + entry.detail);
  EXPECT_EQ(allAccessOpens, (std::vector<std::string>{
                                At("A") + " sam=0xF003F", At("A\\B") + " sam=0xF003F",
                                At("A\\B\\C") + " sam=0xF003F",
                                // the key deletions, which start again from the root
                                At("A\\B\\C") + " sam=0xF003F", At("A\\B") + " sam=0xF003F",
                                At("A") + " sam=0xF003F"}));
}

TEST_F(DeleteRegistryTreeFaults, ARefusedValueRemovalIsPassedOver) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"A", {"stuck=1", "other=2"}}, {"A\\B", {"b=1"}}});
  emu::FailCallFrom("RegDeleteValueA", 1, ERROR_ACCESS_DENIED, "A\\stuck");
  emu::ClearJournal();
  EXPECT_TRUE(DeleteRegistryTree(At("A")));
  EXPECT_EQ(Changes(), (std::vector<std::string>{"value A|stuck", "value A|other",
                                                 "value A\\B|b", "key A\\B", "key A"}));
  // The key deletion found a value left and the registry deleted the key anyway.
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, At("A")));
}

TEST_F(DeleteRegistryTreeFaults, ASubkeyThatCannotBeOpenedDoesNotStopItsSiblingsOrParent) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch,
                {{"A", {"a=1"}}, {"A\\B1", {"x=1"}}, {"A\\B2", {"locked=1"}}, {"A\\B3", {"y=1"}}});
  emu::SetKeyAccess(HKEY_LOCAL_MACHINE, At("A\\B2"), KEY_READ);
  emu::ClearJournal();
  EXPECT_TRUE(DeleteRegistryTree(At("A")));
  // A's key deletion meets B2 on its way down and tries it too, in vain; then A itself, which
  // still has B2, stays as well.
  EXPECT_EQ(Changes(), (std::vector<std::string>{"value A|a", "value A\\B1|x", "key A\\B1",
                                                 "value A\\B3|y", "key A\\B3", "key A\\B2",
                                                 "key A"}));
  EXPECT_EQ(testreg::SubkeyNames(HKEY_LOCAL_MACHINE, At("A")), std::vector<std::string>{"B2"});
  EXPECT_EQ(testreg::ValueNames(HKEY_LOCAL_MACHINE, At("A\\B2")),
            std::vector<std::string>{"locked"});
}

TEST_F(DeleteRegistryTreeFaults, AKeyDeletionThatFailsIsNotCounted) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"A\\B", {}}});
  emu::FailCallFrom("RegDeleteKeyA", 1, ERROR_ACCESS_DENIED);
  EXPECT_TRUE(DeleteRegistryTree(At("A")));
  EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, At("A\\B")));
}

TEST_F(DeleteRegistryTreeFaults, AnExceptionTwoLevelsDownStopsEveryLevelAbove) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch,
                {{"A", {"a=1"}},
                 {"A\\B", {"b=1"}},
                 {"A\\B\\C", {"c1=1", "c2=2", "c3=3"}},
                 {"A\\B\\C\\D", {"d=1"}},
                 {"A\\B\\C2", {"untouched=1"}},
                 {"A\\B2", {"untouched=1"}}});
  emu::RaiseAtCall("RegDeleteValueA", 1, "A\\B\\C\\c2");
  emu::ClearJournal();
  EXPECT_FALSE(DeleteRegistryTree(At("A")));
  // c1 went before the exception and stays gone; c2's removal raised; nothing after it ran.
  EXPECT_EQ(Changes(), (std::vector<std::string>{"value A|a", "value A\\B|b", "value A\\B\\C|c1",
                                                 "value A\\B\\C|c2"}));
  EXPECT_EQ(testreg::ValueNames(HKEY_LOCAL_MACHINE, At("A\\B\\C")),
            (std::vector<std::string>{"c2", "c3"}));
  EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, At("A\\B\\C\\D")));
  EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, At("A\\B\\C2")));
  EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, At("A\\B2")));
}

TEST_F(DeleteRegistryTreeFaults, AnExceptionWhileAKeyIsDeletedStopsTheLevelsAbove) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"A\\B1", {}}, {"A\\B2", {}}});
  emu::RaiseAtCall("RegDeleteKeyA", 1, "A\\B1");
  emu::ClearJournal();
  EXPECT_FALSE(DeleteRegistryTree(At("A")));
  EXPECT_EQ(Changes(), (std::vector<std::string>{"key A\\B1"}));
  EXPECT_EQ(testreg::SubkeyNames(HKEY_LOCAL_MACHINE, At("A")),
            (std::vector<std::string>{"B1", "B2"}));
}

TEST_F(DeleteRegistryTreeFaults, KeyDeletionRemovesLeftoverSubkeysHighestIndexFirst) {
  // B's own listing of subkeys fails, so B reaches its key deletion with subkeys left: the
  // deletion walks them from the highest index down before it deletes B.
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"A\\B\\B1", {}}, {"A\\B\\B2", {}}});
  emu::FailCall("RegQueryInfoKeyA", 2, ERROR_ACCESS_DENIED, "A\\B");
  emu::ClearJournal();
  EXPECT_TRUE(DeleteRegistryTree(At("A")));
  EXPECT_EQ(Changes(), (std::vector<std::string>{"key A\\B\\B2", "key A\\B\\B1", "key A\\B",
                                                 "key A"}));
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, At("A")));
}

TEST_F(DeleteRegistryTreeFaults, AnEmptyPathIsRefusedAndChangesNothing) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"A", {"v=1"}}});
  const std::string before = testreg::Dump(HKEY_LOCAL_MACHINE, "");
  emu::ClearJournal();
  EXPECT_FALSE(DeleteRegistryTree(""));
  EXPECT_FALSE(DeleteRegistryTree("\\"));
  EXPECT_TRUE(Changes().empty());
  EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, ""), before);
}

TEST_F(DeleteRegistryTreeFaults, DoubleByteNamesFitTheirDoubledBuffers) {
  // On a double-byte code page the registry reports name lengths in UTF-16 units while each of
  // these characters takes two bytes: a buffer of the reported length would not hold them.
  emu::SetAnsiCodePage(932);
  const std::string kanji = "\x95\x5c\x8e\xa6\x96\xbc";  // three double-byte characters
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch,
                {{"A", {kanji + "=1"}}, {"A\\" + kanji, {kanji + kanji + "=2"}}});
  EXPECT_TRUE(DeleteRegistryTree(At("A")));
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, At("A")));
}

}  // namespace
