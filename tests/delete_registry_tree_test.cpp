#include "registry/delete_registry_tree.h"

#include "tests/support/platform_test.h"

namespace {

class DeleteRegistryTreeTest : public RegistryTest {
 protected:
  std::string Sibling() const { return scratch + " sibling"; }
  void CleanUp() override {
    testreg::DeleteTree(HKEY_LOCAL_MACHINE, Sibling());
    RegistryTest::CleanUp();
  }
};

TEST_F(DeleteRegistryTreeTest, AMissingKeyIsDoneAlready) {
  testreg::CreateKey(HKEY_LOCAL_MACHINE, scratch);
  const std::string before = testreg::Dump(HKEY_LOCAL_MACHINE, scratch);
  EXPECT_TRUE(DeleteRegistryTree(scratch + "\\none"));
  EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, scratch), before);
}

TEST_F(DeleteRegistryTreeTest, RemovesKeysWithValuesOrWithNothing) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"values", {"a=1", "b=2", "=default"}}, {"bare", {}}});
  EXPECT_TRUE(DeleteRegistryTree(scratch + "\\values"));
  EXPECT_TRUE(DeleteRegistryTree(scratch + "\\bare"));
  EXPECT_TRUE(testreg::SubkeyNames(HKEY_LOCAL_MACHINE, scratch).empty());
}

TEST_F(DeleteRegistryTreeTest, RemovesAWholeTreeAndNothingBesideIt) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch,
                {{"A", {"DisplayName=old", "=default"}},
                 {"A\\B", {"x=1"}},
                 {"A\\B\\C", {"y=2", "z=3"}},
                 {"A\\B2", {}},
                 {"A\\B2\\C2\\D2", {"deep=4"}},
                 {"A-not-below", {"keep=me"}}});
  testreg::Seed(HKEY_LOCAL_MACHINE, Sibling(), {{"", {"keep=me too"}}});
  const std::string besideA = testreg::Dump(HKEY_LOCAL_MACHINE, scratch + "\\A-not-below");
  const std::string sibling = testreg::Dump(HKEY_LOCAL_MACHINE, Sibling());

  EXPECT_TRUE(DeleteRegistryTree(scratch + "\\A"));

  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, scratch + "\\A"));
  EXPECT_EQ(testreg::SubkeyNames(HKEY_LOCAL_MACHINE, scratch),
            std::vector<std::string>{"A-not-below"});
  EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, scratch + "\\A-not-below"), besideA);
  EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, Sibling()), sibling);
}

TEST_F(DeleteRegistryTreeTest, OneLeadingBackslashNamesTheSameKey) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"A\\B", {"v=1"}}});
  EXPECT_TRUE(DeleteRegistryTree("\\" + scratch + "\\A"));
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, scratch + "\\A"));
}

TEST_F(DeleteRegistryTreeTest, NamesAsLongAsTheLongestInTheirKeyAreListedWhole) {
  // Each of these names is the longest of its kind in its key: a name buffer one byte short
  // would lose it, and the key could not be removed.
  const std::string longKey(60, 'k');
  const std::string longValue(2000, 'v');
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch,
                {{"A", {longValue + "=x", "short=y"}}, {"A\\" + longKey, {longValue + "=z"}},
                 {"A\\s", {}}});
  EXPECT_TRUE(DeleteRegistryTree(scratch + "\\A"));
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, scratch + "\\A"));
}

TEST_F(DeleteRegistryTreeTest, KeysBeyondTheLongestOpenablePathGoWithTheirAncestor) {
  // The 8-bit calls cannot open a path of more than 260 characters, so the levels down there
  // count as done; the key deletion of the last level that can be opened walks down from its
  // own handle, with short relative names, and removes them all the same.
  std::string deep = "A";
  while ((scratch + "\\" + deep).size() < 330) deep += "\\level";
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{deep, {"v=1"}}});
  EXPECT_TRUE(DeleteRegistryTree(scratch + "\\A"));
  EXPECT_FALSE(testreg::KeyExists(HKEY_LOCAL_MACHINE, scratch + "\\A"));
}

}  // namespace
