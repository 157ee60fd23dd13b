// Posting to the window from any thread, and after it has gone.
#include <gtest/gtest.h>

#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/messages.h"
#include "platform/text.h"
#include "platform/window_handle.h"

namespace tarnel::platform {
namespace {

// A main loop of the test's own: tasks queue up from any thread and run when
// the test says so.
struct Loop {
  std::mutex mutex;
  std::deque<std::function<void()>> tasks;
  void Schedule(std::function<void()> task) {
    std::lock_guard lock(mutex);
    tasks.push_back(std::move(task));
  }
  size_t Run() {
    size_t n = 0;
    while (true) {
      std::function<void()> task;
      {
        std::lock_guard lock(mutex);
        if (tasks.empty()) return n;
        task = std::move(tasks.front());
        tasks.pop_front();
      }
      task();
      ++n;
    }
  }
};

TEST(WindowHandle, PostsFromManyThreadsArriveInEachThreadsOrder) {
  Loop loop;
  std::vector<std::pair<WPARAM, LPARAM>> seen;
  auto handle = WindowHandle::Create([&](std::function<void()> t) { loop.Schedule(std::move(t)); },
                                     [&](std::uint32_t, WPARAM w, LPARAM l) {
                                       seen.emplace_back(w, l);
                                       return LRESULT{0};
                                     });
  std::vector<std::thread> threads;
  for (WPARAM t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (LPARAM i = 0; i < 1000; ++i) handle->PostMessage(WM_USER, t, i);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(loop.Run(), 4000u);
  std::vector<LPARAM> next(4, 0);
  for (const auto& [t, i] : seen) EXPECT_EQ(i, next[t]++);
  EXPECT_EQ(next, std::vector<LPARAM>(4, 1000));
}

TEST(WindowHandle, PostsAfterDestroyAreDroppedQueuedOnesToo) {
  Loop loop;
  int delivered = 0;
  auto* target = new int(0);
  auto handle = WindowHandle::Create([&](std::function<void()> t) { loop.Schedule(std::move(t)); },
                                     [&](std::uint32_t, WPARAM, LPARAM) {
                                       ++*target;  // freed memory under the sanitizers if reached late
                                       ++delivered;
                                       return LRESULT{0};
                                     });
  EXPECT_TRUE(handle->PostMessage(WM_USER, 0, 0));
  handle->Destroy();
  delete target;
  EXPECT_FALSE(handle->PostMessage(WM_USER, 0, 0));
  std::thread late([&] { handle->PostMessage(WM_USER, 0, 0); });
  late.join();
  loop.Run();
  EXPECT_EQ(delivered, 0);
  EXPECT_FALSE(handle->IsWindow());
}

TEST(WindowHandle, ProcedureMayDestroyItsOwnWindow) {
  Loop loop;
  std::shared_ptr<WindowHandle> handle;
  int calls = 0;
  handle = WindowHandle::Create([&](std::function<void()> t) { loop.Schedule(std::move(t)); },
                                [&](std::uint32_t, WPARAM, LPARAM) {
                                  ++calls;
                                  handle->Destroy();
                                  return LRESULT{0};
                                });
  handle->PostMessage(WM_USER, 0, 0);
  handle->PostMessage(WM_USER, 0, 0);
  loop.Run();
  EXPECT_EQ(calls, 1);
}

TEST(Messages, MouseCoordinatesKeepTheirLow16BitsAndReadBackSigned) {
  const LPARAM packed = MakeMouseLParam(-5, 10);
  EXPECT_EQ(packed, 0x000AFFFB);
  EXPECT_EQ(packed >> 32, 0);
  EXPECT_EQ(MouseX(packed), -5);
  EXPECT_EQ(MouseY(packed), 10);
  // Beyond 16 bits only the low bits survive.
  EXPECT_EQ(MouseX(MakeMouseLParam(70000, -70000)), 70000 - 65536);
  EXPECT_EQ(MouseY(MakeMouseLParam(70000, -70000)), -70000 + 65536);
}

TEST(Text, ConversionsAreLosslessUpToTheFirstNul) {
  const std::string text = "标题 ☃ abc";
  EXPECT_EQ(AnsiToUtf8(text), text);
  EXPECT_EQ(Utf8ToAnsi(text), text);
  EXPECT_EQ(NarrowThreadAcp(std::string("ab\0c", 4)), "ab");
  EXPECT_EQ(WidenThreadAcp(std::string("\0c", 2)), "");
}

}  // namespace
}  // namespace tarnel::platform
