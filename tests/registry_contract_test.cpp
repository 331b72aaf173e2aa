// What the registry operations rely on from each registry and COM call. Runs on the emulated
// platform and on a real one alike: where they disagree, the emulation is wrong.
#include <cstring>

#include "tests/support/platform_test.h"

using testreg::Bytes;

namespace {

class RegistryContract : public RegistryTest {
 protected:
  HKEY OpenScratch(REGSAM sam = KEY_ALL_ACCESS) {
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, scratch.c_str(), 0, sam, &key), ERROR_SUCCESS);
    return key;
  }
};

TEST_F(RegistryContract, OpeningAMissingKeyFailsWithFileNotFound) {
  HKEY key = reinterpret_cast<HKEY>(0x1);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (scratch + "\\none").c_str(), 0, KEY_READ, &key),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryContract, NamesCompareWithoutCaseAndKeepTheirSpelling) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch + "\\MixedCase", "ValueName", "x");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (scratch + "\\MIXEDCASE").c_str(), 0, KEY_READ,
                          &key),
            ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "VALUENAME", nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(testreg::SubkeyNames(HKEY_LOCAL_MACHINE, scratch),
            std::vector<std::string>{"MixedCase"});
  EXPECT_EQ(testreg::ValueNames(HKEY_LOCAL_MACHINE, scratch + "\\MixedCase"),
            std::vector<std::string>{"ValueName"});
}

// The 8-bit query of string data: the probe reports the size, a string stored without its NUL
// is delivered with one, and the type comes back with the fetch.
struct QueryCase {
  const char* label;
  DWORD type;
  Bytes stored;
  DWORD probedSize;
  Bytes fetched;
};

class RegistryQueryContract : public RegistryContract,
                              public ::testing::WithParamInterface<QueryCase> {};

TEST_P(RegistryQueryContract, ProbeThenFetch) {
  const QueryCase& c = GetParam();
  testreg::SetValue(HKEY_LOCAL_MACHINE, scratch, "v", c.type, c.stored);
  HKEY key = OpenScratch(KEY_READ);
  DWORD type = 0xdeadbeef, size = 0xdeadbeef;
  ASSERT_EQ(RegQueryValueExA(key, "v", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
  EXPECT_EQ(size, c.probedSize);
  Bytes data(size, 0xbd);
  type = REG_NONE;
  DWORD fetched = size;
  ASSERT_EQ(RegQueryValueExA(key, "v", nullptr, &type, data.empty() ? nullptr : data.data(),
                             &fetched),
            ERROR_SUCCESS);
  EXPECT_EQ(type, c.type);
  EXPECT_EQ(fetched, c.probedSize);
  EXPECT_EQ(data, c.fetched);
  RegCloseKey(key);
}

INSTANTIATE_TEST_SUITE_P(
    , RegistryQueryContract,
    ::testing::Values(QueryCase{"SzWithNul", REG_SZ, {'a', 'b', 'c', 0}, 4, {'a', 'b', 'c', 0}},
                      QueryCase{"SzWithoutNul", REG_SZ, {'a', 'b', 'c'}, 4, {'a', 'b', 'c', 0}},
                      QueryCase{"SzInnerNul", REG_SZ, {'a', 'b', 0, 'c'}, 5, {'a', 'b', 0, 'c', 0}},
                      QueryCase{"ExpandSz", REG_EXPAND_SZ, {'%', 'X', '%', 0}, 4,
                                {'%', 'X', '%', 0}},
                      QueryCase{"Dword", REG_DWORD, {1, 0, 0, 0}, 4, {1, 0, 0, 0}},
                      QueryCase{"EmptyBinary", REG_BINARY, {}, 0, {}}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(RegistryContract, FetchIntoTooSmallABufferFailsWithMoreData) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch, "v", "abcdef");
  HKEY key = OpenScratch(KEY_READ);
  BYTE data[3];
  DWORD size = sizeof data;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, data, &size), ERROR_MORE_DATA);
  RegCloseKey(key);
}

TEST_F(RegistryContract, QueryOfAMissingValueFailsWithFileNotFound) {
  testreg::CreateKey(HKEY_LOCAL_MACHINE, scratch);
  HKEY key = OpenScratch(KEY_READ);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "none", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
  RegCloseKey(key);
}

TEST_F(RegistryContract, InfoReportsCountsAndLongestNames) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch,
                {{"", {"a=1", "longer name=2", "=default"}}, {"k", {}}, {"longest key", {}}});
  HKEY key = OpenScratch(KEY_READ);
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestValue = 0;
  ASSERT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                             &values, &longestValue, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(subkeys, 2u);
  EXPECT_EQ(longestSubkey, std::strlen("longest key"));
  EXPECT_EQ(values, 3u);
  EXPECT_EQ(longestValue, std::strlen("longer name"));
  RegCloseKey(key);
}

TEST_F(RegistryContract, EnumerationFitsTheLongestNamePlusOneAndEndsWithNoMoreItems) {
  const std::string longName(100, 'n');
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"", {longName + "=x", "=default"}}, {longName, {}}});
  HKEY key = OpenScratch(KEY_READ);
  std::vector<char> name(longName.size() + 1, '\x7f');
  DWORD length = static_cast<DWORD>(name.size());
  ASSERT_EQ(RegEnumKeyExA(key, 0, name.data(), &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(std::string(name.data()), longName);
  EXPECT_EQ(length, longName.size());
  length = static_cast<DWORD>(longName.size());  // one short: no room for the NUL
  EXPECT_EQ(RegEnumKeyExA(key, 0, name.data(), &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_MORE_DATA);
  length = static_cast<DWORD>(name.size());
  EXPECT_EQ(RegEnumKeyExA(key, 1, name.data(), &length, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);

  std::vector<std::string> values;
  for (DWORD i = 0;; ++i) {
    length = static_cast<DWORD>(name.size());
    const LSTATUS rc = RegEnumValueA(key, i, name.data(), &length, nullptr, nullptr, nullptr,
                                     nullptr);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    ASSERT_EQ(rc, ERROR_SUCCESS);
    values.emplace_back(name.data());
  }
  std::sort(values.begin(), values.end());
  EXPECT_EQ(values, (std::vector<std::string>{"", longName}));  // the default value is ""
  RegCloseKey(key);
}

TEST_F(RegistryContract, SubkeyPathsOfTheEightBitCallsEndAt260Characters) {
  const std::string base = scratch + "\\";
  const std::string fits = base + std::string(260 - base.size(), 'f');
  const std::string tooLong = base + std::string(261 - base.size(), 'f');
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, fits.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, tooLong.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &key, nullptr),
            ERROR_MORE_DATA);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, tooLong.c_str(), 0, KEY_READ, &key),
            ERROR_MORE_DATA);
}

TEST_F(RegistryContract, AHandleToADeletedKeyAnswersKeyDeleted) {
  testreg::SetString(HKEY_LOCAL_MACHINE, scratch + "\\gone", "v", "x");
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (scratch + "\\gone").c_str(), 0, KEY_ALL_ACCESS,
                          &key),
            ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteKeyA(HKEY_LOCAL_MACHINE, (scratch + "\\gone").c_str()), ERROR_SUCCESS);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
}

TEST_F(RegistryContract, SubkeysEnumerateSorted) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"delta", {}}, {"Alpha", {}}, {"charlie", {}},
                                               {"Bravo", {}}});
  EXPECT_EQ(testreg::SubkeyNames(HKEY_LOCAL_MACHINE, scratch),
            (std::vector<std::string>{"Alpha", "Bravo", "charlie", "delta"}));
}

TEST_F(RegistryContract, DeletionsReportWhatTheyCouldNotDo) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"parent\\child", {}}});
  HKEY key = OpenScratch();
  EXPECT_EQ(RegDeleteValueA(key, "none"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyA(key, "none"), ERROR_FILE_NOT_FOUND);
  EXPECT_NE(RegDeleteKeyA(key, "parent"), ERROR_SUCCESS);  // it still has a subkey
  EXPECT_TRUE(testreg::KeyExists(HKEY_LOCAL_MACHINE, scratch + "\\parent\\child"));
  EXPECT_EQ(RegDeleteKeyA(key, "parent\\child"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteKeyA(key, "parent"), ERROR_SUCCESS);
  EXPECT_TRUE(testreg::SubkeyNames(HKEY_LOCAL_MACHINE, scratch).empty());
  RegCloseKey(key);
}

TEST_F(RegistryContract, AValueRemovedByNameIsGoneAndOthersStay) {
  testreg::Seed(HKEY_LOCAL_MACHINE, scratch, {{"", {"a=1", "b=2", "=default"}}});
  HKEY key = OpenScratch();
  EXPECT_EQ(RegDeleteValueA(key, "A"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(key, ""), ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(testreg::ValueNames(HKEY_LOCAL_MACHINE, scratch), std::vector<std::string>{"b"});
}

TEST_F(RegistryContract, ComScopesNest) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  EXPECT_EQ(lane::ComInitDepth(), 1);
  CoUninitialize();
}

}  // namespace
