// The bundle handed to the application: window, shell and system on one UI thread.
#include <gtest/gtest.h>

#include "platform/win32/win32_platform.h"
#include "win32_test_support.h"

namespace tarnel::platform::win32::test {
namespace {

class NoBrowser : public IBrowserPlatform {
 public:
  void CreateEnvironment(EnvironmentCompleted completed) override { completed(nullptr); }
  void SetUserDataKey(const std::string&) override {}
};

TEST(Win32Platform, HandsOutItsPartsAndReportsShellFailuresThroughItsLoop) {
  Win32Platform win32;
  NoBrowser browser;
  Platform platform = win32.MakePlatform(browser);
  EXPECT_EQ(&platform.window, &win32.window());
  EXPECT_EQ(&platform.shell, &win32.shell());
  EXPECT_EQ(&platform.system, &win32.system());
  EXPECT_EQ(&platform.browser, &browser);

  bool failed = false;
  platform.shell.RunElevated("", [&] { failed = true; });
  EXPECT_FALSE(failed);
  EXPECT_TRUE(PumpUntil([&] { return failed; }));

  // The window's own loop runs the shell's callbacks too.
  RecordingTarget target;
  bool failedInLoop = false;
  const int result = RunModal(platform.window, target, [&] {
    platform.shell.RunElevated("", [&] { failedInLoop = true; });
    EXPECT_TRUE(PumpUntil([&] { return failedInLoop; }));
  });
  EXPECT_EQ(result, 7);
  EXPECT_TRUE(failedInLoop);
}

}  // namespace
}  // namespace tarnel::platform::win32::test
