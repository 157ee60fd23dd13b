// The application object runs the main window to its end.
#include <gtest/gtest.h>

#include "app/tarnel_app.h"
#include "support/fake_platform.h"
#include "support/temp_dir.h"

namespace tarnel::test {
namespace {

TEST(TarnelApp, InitInstanceRunsTheDialogModallyAndReturnsFalse) {
  TempDir dir;
  FakePlatform fake;
  fake.moduleFileName = dir.file("tarnel");
  WriteFile(dir.file("config.ini"), "[user]\nuuid=fixed\n");
  app::CTarnelApp app;
  app.SetPlatform(&fake.platform());
  EXPECT_FALSE(app.InitInstance());
  const auto calls = fake.TakeCalls();
  // Creation, initialisation off screen, then the browser through the loop.
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ((std::vector<std::string>(calls.begin(), calls.begin() + 5)),
            (std::vector<std::string>{"DoModal", "CreateEnvironment", "SetWindowPos -10000 0 0 0 1", "ShowWindow 7",
                                      "SetAppIcon"}));
  EXPECT_EQ(calls.back(), "AddWebMessageReceived");
  // The window is gone: nothing posted now reaches it.
  EXPECT_FALSE(fake.Handle()->PostMessage(platform::WM_USER, 0, 0));
  EXPECT_EQ(ReadFile(dir.file("config.ini")), "[user]\nuuid=fixed\n");
}

TEST(TarnelApp, WithoutAPlatformNothingRuns) {
  app::CTarnelApp app;
  EXPECT_FALSE(app.InitInstance());
}

}  // namespace
}  // namespace tarnel::test
