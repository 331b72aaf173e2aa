// A test that works in the current user's desktop directory: whatever it adds there is removed
// afterwards, and what was there before is left alone.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/links.h"
#include "tests/support/platform_test.h"

class DesktopTest : public PlatformTest {
 protected:
  void SetUp() override {
    PlatformTest::SetUp();
    desktop = lane::PrepareDesktop();
    ASSERT_FALSE(desktop.empty());
    before_ = testlink::List(desktop);
  }
  void CleanUp() override {
    for (const std::string& name : testlink::List(desktop))
      if (std::find(before_.begin(), before_.end(), name) == before_.end())
        testlink::RemoveAll(OnDesktop(name));
  }
  std::string OnDesktop(const std::string& name) const { return desktop + "\\" + name; }

  std::string desktop;

 private:
  std::vector<std::string> before_;
};
