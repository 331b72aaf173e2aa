// What a Windows engineer reads off the shipped program without running it: its version
// information and its application manifest, read back through the system's own calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/e2e/tool_run.h"

namespace {

using e2e::ToolPath;

std::string VersionString(const std::vector<BYTE>& info, const std::string& name) {
  void* value = nullptr;
  UINT length = 0;
  const std::string query = "\\StringFileInfo\\040904B0\\" + name;
  if (!VerQueryValueA(info.data(), query.c_str(), &value, &length) || !value) return "<none>";
  return std::string(static_cast<const char*>(value));
}

TEST(Shipping, CarriesVersionInformation) {
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(ToolPath().c_str(), &handle);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(ToolPath().c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 1));
  EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(2, 3));
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));

  EXPECT_EQ(VersionString(info, "OriginalFilename"), "pelmora-fixup.exe");
  EXPECT_EQ(VersionString(info, "ProductName"), "Pelmora");
  EXPECT_EQ(VersionString(info, "ProductVersion"), "3.2.0.0");
  EXPECT_EQ(VersionString(info, "FileVersion"), "1.0.0.0");
  EXPECT_EQ(VersionString(info, "FileDescription"), "Pelmora V3.2 installation fix-up");
}

TEST(Shipping, AsksToRunAsInvokedOnWindows7To11) {
  HMODULE exe = LoadLibraryExA(ToolPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(exe, nullptr);
  HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));  // RT_MANIFEST
  ASSERT_NE(found, nullptr);
  const char* bytes = static_cast<const char*>(LockResource(LoadResource(exe, found)));
  const std::string manifest(bytes, SizeofResource(exe, found));
  FreeLibrary(exe);

  EXPECT_NE(manifest.find("requestedExecutionLevel level=\"asInvoker\""), std::string::npos);
  for (const char* os : {"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",    // Windows 7
                         "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",    // Windows 8
                         "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",    // Windows 8.1
                         "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"})  // Windows 10 and 11
    EXPECT_NE(manifest.find(os), std::string::npos) << os;
}

}  // namespace
