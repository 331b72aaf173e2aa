// Fixtures shared by the suites. Every test starts from a known machine and ends having given
// back every registry handle and closed every COM scope it opened.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/windows_api.h"
#include "tests/support/lane.h"
#include "tests/support/registry_helpers.h"

class PlatformTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lane::StartFresh();
    liveComObjectsBefore_ = lane::LiveComObjects();
  }
  void TearDown() override {
    lane::StopFaults();
    CleanUp();
    if (lane::OpenRegistryHandles() >= 0) {
      EXPECT_EQ(lane::OpenRegistryHandles(), 0) << "registry handles left open";
    }
    EXPECT_EQ(lane::ComInitDepth(), 0) << "COM left initialised";
    if (lane::LiveComObjects() >= 0) {
      EXPECT_EQ(lane::LiveComObjects(), liveComObjectsBefore_) << "COM objects left alive";
      EXPECT_EQ(lane::OutstandingTaskAllocations(), 0) << "shell memory left unfreed";
      EXPECT_EQ(lane::OutstandingLocalAllocations(), 0) << "local memory left unfreed";
      EXPECT_EQ(lane::OpenFileHandles(), 0) << "file handles left open";
    }
  }
  virtual void CleanUp() {}

 private:
  int liveComObjectsBefore_ = 0;
};

// A test that works in a scratch key of its own below HKEY_LOCAL_MACHINE, removed before and
// after the test.
class RegistryTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
      if (c == '/' || c == '\\') c = '_';
    scratch = "SOFTWARE\\PelmoraFixupTests\\" + name;
    testreg::DeleteTree(HKEY_LOCAL_MACHINE, scratch);
  }
  void CleanUp() override { testreg::DeleteTree(HKEY_LOCAL_MACHINE, scratch); }

  std::string scratch;
};
