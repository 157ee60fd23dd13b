// The main window's life under a real Windows message loop: creation order,
// posting from other threads, the end of the run, placement and metrics.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <thread>

#include "platform/win32/win32_dialog_window.h"
#include "platform/window_placement.h"
#include "win32_test_support.h"

namespace tarnel::platform::win32::test {
namespace {

constexpr std::uint32_t kPing = WM_USER + 50;

std::vector<std::uint32_t> Only(const std::vector<std::uint32_t>& messages, std::vector<std::uint32_t> kinds) {
  std::vector<std::uint32_t> kept;
  std::copy_if(messages.begin(), messages.end(), std::back_inserter(kept),
               [&](std::uint32_t m) { return std::find(kinds.begin(), kinds.end(), m) != kinds.end(); });
  return kept;
}

Rect PrimaryWorkArea() {
  RECT r{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return {r.left, r.top, r.right, r.bottom};
}

TEST(Win32DialogWindow, CreateThenInitDialogThenTheLoopAndTheEndDialogResult) {
  Win32DialogWindow window;
  RecordingTarget target;
  bool handleAtCreate = false;
  bool visibleAtInit = true;
  bool bodyRan = false;
  target.hook = [&](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_CREATE) {
      handleAtCreate = window.Handle() != nullptr && window.hwnd() != nullptr;
      // Posted during creation: runs only once the loop runs.
      window.Handle()->PostMessage(kPing, 1, 0);
    }
    if (message == WM_INITDIALOG) {
      visibleAtInit = IsWindowVisible(window.hwnd()) != FALSE;
      return 1;
    }
    return 0;
  };
  const int result = RunModal(window, target, [&] {
    bodyRan = true;
    EXPECT_TRUE(IsWindowVisible(window.hwnd()));
    // A borderless popup with a taskbar button.
    const LONG_PTR style = GetWindowLongPtrW(window.hwnd(), GWL_STYLE);
    const LONG_PTR exStyle = GetWindowLongPtrW(window.hwnd(), GWL_EXSTYLE);
    EXPECT_NE(style & WS_POPUP, 0);
    EXPECT_EQ(style & WS_CAPTION, 0);
    EXPECT_NE(exStyle & WS_EX_APPWINDOW, 0);
  });
  EXPECT_EQ(result, 7);
  EXPECT_TRUE(handleAtCreate);
  EXPECT_FALSE(visibleAtInit) << "shown before WM_INITDIALOG returned";
  EXPECT_TRUE(bodyRan);
  EXPECT_EQ(Only(target.Messages(), {WM_CREATE, WM_INITDIALOG, kPing}),
            (std::vector<std::uint32_t>{WM_CREATE, WM_INITDIALOG, kPing}));
  EXPECT_EQ(window.Handle(), nullptr);
  EXPECT_EQ(window.hwnd(), nullptr);
}

TEST(Win32DialogWindow, RefusedCreationReturnsMinusOneAndTheWindowRunsAgain) {
  Win32DialogWindow window;
  RecordingTarget refusing;
  refusing.hook = [](std::uint32_t message, WPARAM, LPARAM) -> LRESULT { return message == WM_CREATE ? -1 : 0; };
  EXPECT_EQ(window.DoModal(refusing), -1);
  EXPECT_EQ(Only(refusing.Messages(), {WM_CREATE, WM_INITDIALOG}), (std::vector<std::uint32_t>{WM_CREATE}));
  EXPECT_EQ(window.Handle(), nullptr);
  EXPECT_EQ(window.hwnd(), nullptr);

  RecordingTarget accepting;
  EXPECT_EQ(RunModal(
                window, accepting, [] {}, 3),
            3);
}

TEST(Win32DialogWindow, EndDialogDuringInitDialogSkipsTheLoop) {
  Win32DialogWindow window;
  RecordingTarget target;
  target.hook = [&](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_INITDIALOG) {
      window.Handle()->PostMessage(kPing, 0, 0);
      window.EndDialog(5);
    }
    return 0;
  };
  EXPECT_EQ(window.DoModal(target), 5);
  EXPECT_TRUE(Only(target.Messages(), {kPing}).empty()) << "a post ran without a loop";
}

TEST(Win32DialogWindow, ClosingOrDestroyingTheWindowCancels) {
  Win32DialogWindow window;
  RecordingTarget closing;
  closing.hook = [&](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_INITDIALOG) PostMessageW(window.hwnd(), WM_CLOSE, 0, 0);
    return 0;
  };
  EXPECT_EQ(window.DoModal(closing), IDCANCEL);

  RecordingTarget destroying;
  destroying.hook = [&](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_INITDIALOG) window.Handle()->PostMessage(kPing, 0, 0);
    if (message == kPing) DestroyWindow(window.hwnd());
    return 0;
  };
  EXPECT_EQ(window.DoModal(destroying), IDCANCEL);
  EXPECT_EQ(window.hwnd(), nullptr);
}

TEST(Win32DialogWindow, PostsFromSeveralThreadsRunInOrderOnTheWindowThread) {
  constexpr int kThreads = 4;
  constexpr int kPosts = 300;
  Win32DialogWindow window;
  RecordingTarget target;
  const DWORD uiThread = GetCurrentThreadId();
  std::map<WPARAM, std::vector<LPARAM>> received;
  int offThread = 0;
  target.hook = [&](std::uint32_t message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == kPing) {
      received[wParam].push_back(lParam);
      if (GetCurrentThreadId() != uiThread) ++offThread;
    }
    return message == WM_INITDIALOG ? 1 : 0;
  };
  const int result = RunModal(window, target, [&] {
    const auto handle = window.Handle();
    std::vector<std::thread> threads;
    std::atomic<int> refused{0};
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([&, t] {
        for (int i = 0; i < kPosts; ++i) {
          if (!handle->PostMessage(kPing, static_cast<WPARAM>(t), i)) ++refused;
        }
      });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(refused.load(), 0);
    EXPECT_TRUE(PumpUntil([&] {
      std::size_t total = 0;
      for (const auto& [thread, values] : received) total += values.size();
      return total == kThreads * kPosts;
    }));
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(offThread, 0);
  ASSERT_EQ(received.size(), static_cast<std::size_t>(kThreads));
  for (const auto& [thread, values] : received) {
    ASSERT_EQ(values.size(), static_cast<std::size_t>(kPosts)) << "thread " << thread;
    for (int i = 0; i < kPosts; ++i) EXPECT_EQ(values[i], i) << "thread " << thread;
  }
}

TEST(Win32DialogWindow, PostsQueuedAtTheEndAreFreedWithoutRunningAndLaterOnesRefused) {
  Win32DialogWindow window;
  RecordingTarget target;
  std::shared_ptr<WindowHandle> kept;
  std::atomic<int> accepted{0};
  std::thread worker;
  const int result = RunModal(window, target, [&] {
    kept = window.Handle();
    // A worker keeps posting through the end of the run.
    worker = std::thread([&, handle = kept] {
      while (handle->PostMessage(kPing, 1, 0)) {
        ++accepted;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
    });
    PumpUntil([&] { return accepted.load() > 10; }, std::chrono::seconds(5));
    // Still queued when the dialog ends right after this task.
    for (int i = 0; i < 50; ++i) ASSERT_TRUE(kept->PostMessage(kPing, 0, i));
  });
  EXPECT_EQ(result, 7);
  // The worker sees its posts refused once the window is gone, and stops.
  worker.join();
  ASSERT_NE(kept, nullptr);
  EXPECT_FALSE(kept->IsWindow());
  EXPECT_FALSE(kept->PostMessage(kPing, 2, 0));
  PumpFor(std::chrono::milliseconds(100));
  for (const auto& entry : target.log) {
    EXPECT_FALSE(entry.message == kPing && entry.wParam != 1) << "a post queued at the end ran";
  }
  EXPECT_GT(accepted.load(), 10);
  // Every queued task held a reference to the handle: all are freed.
  EXPECT_EQ(kept.use_count(), 1);
}

TEST(Win32DialogWindow, ForwardsSizeMouseAndPaintMessages) {
  Win32DialogWindow window;
  RecordingTarget target;
  RunModal(window, target, [&] {
    target.log.clear();
    window.SetWindowPos(10, 10, 320, 240, SWP_NOZORDER);
    SendMessageW(window.hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MakeMouseLParam(11, 22));
    SendMessageW(window.hwnd(), WM_MOUSEMOVE, MK_LBUTTON, MakeMouseLParam(-5, 30));
    SendMessageW(window.hwnd(), WM_LBUTTONUP, 0, MakeMouseLParam(12, 23));
    InvalidateRect(window.hwnd(), nullptr, FALSE);
    UpdateWindow(window.hwnd());
  });
  const auto& log = target.log;
  const auto find = [&](std::uint32_t message) {
    return std::find_if(log.begin(), log.end(), [&](const LoggedMessage& m) { return m.message == message; });
  };
  const auto size = find(WM_SIZE);
  ASSERT_NE(size, log.end());
  EXPECT_EQ(size->wParam, SIZE_RESTORED);
  EXPECT_EQ(SizeWidth(size->lParam), 320);
  EXPECT_EQ(SizeHeight(size->lParam), 240);
  const auto move = find(WM_MOUSEMOVE);
  ASSERT_NE(move, log.end());
  EXPECT_EQ(MouseX(move->lParam), -5);
  EXPECT_EQ(MouseY(move->lParam), 30);
  EXPECT_EQ(Only(target.Messages(), {WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_PAINT}),
            (std::vector<std::uint32_t>{WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_PAINT}));
}

TEST(Win32DialogWindow, PlacementReadsBack) {
  Win32DialogWindow window;
  RecordingTarget target;
  RunModal(window, target, [&] {
    window.SetWindowPos(100, 120, 300, 200, SWP_NOZORDER);
    EXPECT_EQ(window.GetWindowRect(), (Rect{100, 120, 400, 320}));
    EXPECT_EQ(window.GetClientRect(), (Rect{0, 0, 300, 200}));
    EXPECT_EQ(window.ClientToScreen({5, 6}), (Point{105, 126}));

    window.SetWindowPos(0, 0, 350, 250, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(window.GetWindowRect(), (Rect{100, 120, 450, 370}));
    window.SetWindowPos(30, 40, 1, 1, SWP_NOSIZE);
    EXPECT_EQ(window.GetWindowRect(), (Rect{30, 40, 380, 290}));

    window.MoveWindow({50, 60, 450, 360}, true);
    EXPECT_EQ(window.GetWindowRect(), (Rect{50, 60, 450, 360}));
    EXPECT_EQ(window.GetClientRect(), (Rect{0, 0, 400, 300}));
    EXPECT_EQ(window.ClientToScreen({0, 0}), (Point{50, 60}));
  });
}

TEST(Win32DialogWindow, CentresOnTheWorkAreaAndKeepsTheSize) {
  Win32DialogWindow window;
  RecordingTarget target;
  RunModal(window, target, [&] {
    const Rect work = PrimaryWorkArea();
    window.SetWindowPos(3, 4, 300, 200, SWP_NOZORDER);
    window.CenterWindow();
    EXPECT_EQ(window.GetWindowRect(), CenteredInWorkArea({0, 0, 300, 200}, work));
    const Rect centred = window.GetWindowRect();
    EXPECT_NEAR((centred.left + centred.right) / 2.0, (work.left + work.right) / 2.0, 1.0);

    // Off every monitor: back onto the primary one.
    window.SetWindowPos(-20000, -20000, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    window.CenterWindow();
    EXPECT_EQ(window.GetWindowRect(), CenteredInWorkArea({0, 0, 300, 200}, work));

    // Larger than the work area: the top-left corner stays in view.
    window.SetWindowPos(0, 0, work.Width() + 100, work.Height() + 80, SWP_NOMOVE | SWP_NOZORDER);
    window.CenterWindow();
    const Rect big = window.GetWindowRect();
    EXPECT_EQ(big.left, work.left);
    EXPECT_EQ(big.top, work.top);
    EXPECT_EQ(big.Width(), work.Width() + 100);
  });
}

TEST(Win32DialogWindow, OutOfSightStartIsRevealedByTheFirstCentring) {
  Win32DialogWindow window;
  RecordingTarget target;
  target.hook = [&](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_INITDIALOG) {
      // What the main window does in OnInitDialog.
      window.SetWindowPos(-10000, 0, 0, 0, SWP_NOSIZE);
      window.ShowWindow(SW_SHOWMINNOACTIVE);
      return 1;
    }
    return 0;
  };
  RunModal(window, target, [&] {
    EXPECT_TRUE(window.IsIconic());
    EXPECT_TRUE(IsWindowVisible(window.hwnd()));
    // What the page's first resize does: a size, then centring.
    window.SetWindowPos(0, 0, 420, 310, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_EQ(window.GetWindowRect().Width(), 420);
    EXPECT_EQ(window.GetWindowRect().Height(), 310);
    window.CenterWindow();
    EXPECT_FALSE(window.IsIconic());
    EXPECT_EQ(window.GetWindowRect(), CenteredInWorkArea({0, 0, 420, 310}, PrimaryWorkArea()));
    EXPECT_EQ(window.GetClientRect(), (Rect{0, 0, 420, 310}));
    // Later centring does not touch the show state.
    window.ShowWindow(SW_SHOWMINIMIZED);
    EXPECT_TRUE(window.IsIconic());
    window.CenterWindow();
    EXPECT_TRUE(window.IsIconic());
    window.ShowWindow(SW_SHOWNORMAL);
    EXPECT_FALSE(window.IsIconic());
    EXPECT_EQ(window.GetWindowRect(), CenteredInWorkArea({0, 0, 420, 310}, PrimaryWorkArea()));
  });
}

TEST(Win32DialogWindow, WindowTextRoundTripsUnicodeAndDpiIsTheScreens) {
  Win32DialogWindow window;
  RecordingTarget target;
  EXPECT_EQ(window.GetWindowText(), "");  // no window
  RunModal(window, target, [&] {
    const std::string title = "下载 Tarnel — ü 🎉";
    window.SetWindowText(title);
    EXPECT_EQ(window.GetWindowText(), title);
    wchar_t wide[64] = {};
    GetWindowTextW(window.hwnd(), wide, 64);
    EXPECT_EQ(std::wstring(wide), L"下载 Tarnel — ü \U0001F389");
    window.SetWindowText("");
    EXPECT_EQ(window.GetWindowText(), "");

    HDC screen = GetDC(nullptr);
    const Dpi expected{static_cast<unsigned>(GetDeviceCaps(screen, LOGPIXELSX)),
                       static_cast<unsigned>(GetDeviceCaps(screen, LOGPIXELSY))};
    ReleaseDC(nullptr, screen);
    const Dpi dpi = window.GetScreenDpi();
    EXPECT_EQ(dpi.x, expected.x);
    EXPECT_EQ(dpi.y, expected.y);
    // Wine's default resolution.
    EXPECT_EQ(dpi.x, 96u);
    window.SetAppIcon();  // no icon resource in the tests: nothing to fail
  });
}

}  // namespace
}  // namespace tarnel::platform::win32::test
