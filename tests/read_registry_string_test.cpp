#include "registry/read_registry_string.h"

#include "tests/support/platform_test.h"

using testreg::Bytes;

namespace {

class ReadRegistryStringTest : public RegistryTest {};

struct ValueCase {
  const char* label;
  DWORD type;
  Bytes stored;
  const char* expected;
};

class ReadsValueAsText : public ReadRegistryStringTest,
                         public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ReadsValueAsText, ByTypeAndNulPlacement) {
  const ValueCase& c = GetParam();
  testreg::SetValue(HKEY_LOCAL_MACHINE, scratch, "v", c.type, c.stored);
  EXPECT_EQ(ReadRegistryString(0, scratch, "v"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    , ReadsValueAsText,
    ::testing::Values(ValueCase{"TerminatedSz", REG_SZ, {'a', 'b', 'c', 0}, "abc"},
                      ValueCase{"UnterminatedSz", REG_SZ, {'a', 'b', 'c'}, "abc"},
                      ValueCase{"NulAfterSecondLetter", REG_SZ, {'a', 'b', 0, 'c'}, "ab"},
                      ValueCase{"OnlyANul", REG_SZ, {0}, ""},
                      ValueCase{"NoBytesSz", REG_SZ, {}, ""},
                      ValueCase{"ExpandSzStaysUnexpanded", REG_EXPAND_SZ,
                                testreg::Sz("%SystemRoot%\\x"), "%SystemRoot%\\x"},
                      ValueCase{"NoBytesBinaryIsNotTypeChecked", REG_BINARY, {}, ""}),
    [](const auto& info) { return std::string(info.param.label); });

struct BadTypeCase {
  const char* label;
  DWORD type;
  Bytes stored;
};

class RefusesNonText : public ReadRegistryStringTest,
                       public ::testing::WithParamInterface<BadTypeCase> {};

TEST_P(RefusesNonText, WithAMessageNamingTheValue) {
  const BadTypeCase& c = GetParam();
  testreg::SetValue(HKEY_LOCAL_MACHINE, scratch, "DisplayName", c.type, c.stored);
  try {
    ReadRegistryString(0, scratch, "DisplayName");
    FAIL() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'DisplayName'");
  }
}

INSTANTIATE_TEST_SUITE_P(
    , RefusesNonText,
    ::testing::Values(BadTypeCase{"Dword", REG_DWORD, testreg::Dword(7)},
                      BadTypeCase{"MultiSz", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}},
                      BadTypeCase{"Binary", REG_BINARY, {1, 2, 3}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ReadRegistryStringTest, MissingKeyAndMissingValueReadEmpty) {
  EXPECT_EQ(ReadRegistryString(0, scratch + "\\none", "v"), "");
  testreg::CreateKey(HKEY_LOCAL_MACHINE, scratch);
  EXPECT_EQ(ReadRegistryString(0, scratch, "none"), "");
}

TEST_F(ReadRegistryStringTest, EmptyValueNameReadsTheDefaultValue) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "", "the default");
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "named", "other");
  EXPECT_EQ(ReadRegistryString(0, scratch, ""), "the default");
}

TEST_F(ReadRegistryStringTest, OneLeadingBackslashNamesTheSameKey) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "v", "here");
  EXPECT_EQ(ReadRegistryString(0, "\\" + scratch, "v"), "here");
}

TEST_F(ReadRegistryStringTest, ZeroRootMeansLocalMachineOtherRootsAreUsedAsGiven) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "v", "machine");
  testreg::SetString(HKEY_CURRENT_USER, scratch, "v", "user");
  EXPECT_EQ(ReadRegistryString(0, scratch, "v"), "machine");
  EXPECT_EQ(ReadRegistryString(HKEY_LOCAL_MACHINE, scratch, "v"), "machine");
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, scratch, "v"), "user");
  testreg::DeleteTree(HKEY_CURRENT_USER, scratch);
}

TEST_F(ReadRegistryStringTest, NeverWrites) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"", {"v=text", "w=more"}}, {"sub", {"x=y"}}});
  const std::string before = testreg::Dump(HKEY_LOCAL_MACHINE, scratch);
  ReadRegistryString(0, scratch, "v");
  ReadRegistryString(0, scratch, "none");
  EXPECT_EQ(testreg::Dump(HKEY_LOCAL_MACHINE, scratch), before);
}

}  // namespace
