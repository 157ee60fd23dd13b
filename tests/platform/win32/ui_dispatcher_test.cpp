// Posting to the UI thread without a window: order, thread and the end.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/win32/ui_dispatcher.h"
#include "win32_test_support.h"

namespace tarnel::platform::win32::test {
namespace {

TEST(UiDispatcher, RunsPostsFromOtherThreadsInOrderOnItsThread) {
  UiDispatcher dispatcher;
  const DWORD uiThread = GetCurrentThreadId();
  std::vector<int> order;
  bool offThread = false;
  std::thread poster([&, post = dispatcher.Scheduler()] {
    for (int i = 0; i < 200; ++i) {
      post([&, i] {
        order.push_back(i);
        offThread = offThread || GetCurrentThreadId() != uiThread;
      });
    }
  });
  poster.join();
  EXPECT_TRUE(order.empty()) << "ran inside the post";
  ASSERT_TRUE(PumpUntil([&] { return order.size() == 200; }));
  EXPECT_FALSE(offThread);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[i], i);
}

TEST(UiDispatcher, ANestedMessageLoopKeepsRunningTheQueue) {
  UiDispatcher dispatcher;
  std::vector<int> order;
  dispatcher.Post([&] {
    order.push_back(1);
    // A task that runs a loop of its own (as a message box does).
    PumpUntil([&] { return order.size() == 3; }, std::chrono::seconds(5));
    order.push_back(4);
  });
  dispatcher.Post([&] { order.push_back(2); });
  dispatcher.Post([&] { order.push_back(3); });
  ASSERT_TRUE(PumpUntil([&] { return order.size() == 4; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(UiDispatcher, QueuedTasksAreFreedWithoutRunningWhenItGoes) {
  auto token = std::make_shared<int>(0);
  bool ran = false;
  WindowHandle::Scheduler post;
  {
    UiDispatcher dispatcher;
    post = dispatcher.Scheduler();
    for (int i = 0; i < 5; ++i) EXPECT_TRUE(dispatcher.Post([token, &ran] { ran = true; }));
    EXPECT_EQ(token.use_count(), 6);
  }
  EXPECT_EQ(token.use_count(), 1);
  post([token, &ran] { ran = true; });  // kept longer than the dispatcher: dropped
  EXPECT_EQ(token.use_count(), 1);
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_FALSE(ran);
}

TEST(UiDispatcher, DelayedTasksRunOnceAfterTheirPauseInDueOrder) {
  UiDispatcher dispatcher;
  std::vector<int> order;
  const auto start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::duration firstAfter{};
  ASSERT_TRUE(dispatcher.PostAfter(std::chrono::milliseconds(150), [&] { order.push_back(2); }));
  ASSERT_TRUE(dispatcher.PostAfter(std::chrono::milliseconds(50), [&] {
    order.push_back(1);
    firstAfter = std::chrono::steady_clock::now() - start;
  }));
  ASSERT_TRUE(PumpUntil([&] { return order.size() == 2; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_GE(firstAfter, std::chrono::milliseconds(40));
  PumpFor(std::chrono::milliseconds(200));  // a timer fires once only
  EXPECT_EQ(order.size(), 2u);
}

TEST(UiDispatcher, DelayedTasksAreFreedWithoutRunningWhenItGoes) {
  auto token = std::make_shared<int>(0);
  bool ran = false;
  {
    UiDispatcher dispatcher;
    EXPECT_TRUE(dispatcher.PostAfter(std::chrono::milliseconds(20), [token, &ran] { ran = true; }));
    EXPECT_EQ(token.use_count(), 2);
  }
  EXPECT_EQ(token.use_count(), 1);
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace tarnel::platform::win32::test
