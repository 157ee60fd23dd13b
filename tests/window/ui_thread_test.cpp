// The UI-thread check that guards the main window's members.
#include <gtest/gtest.h>

#include <thread>

#include "window/ui_thread.h"

namespace tarnel::window {
namespace {

TEST(UiThread, OnlyTheThreadThatMadeItIsCurrent) {
  const UiThread ui;
  EXPECT_TRUE(ui.IsCurrent());
  bool elsewhere = true;
  std::thread([&] { elsewhere = ui.IsCurrent(); }).join();
  EXPECT_FALSE(elsewhere);
}

TEST(UiThread, ADebugBuildStopsAMemberCalledFromAWorker) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const UiThread ui;
  EXPECT_DEBUG_DEATH(std::thread([&] { TARNEL_ASSERT_UI_THREAD(ui); }).join(), "UI thread only");
}

}  // namespace
}  // namespace tarnel::window
