// The main window's life: creation order, posting, placement and metrics.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <memory>
#include <sstream>
#include <thread>

#include "gtk_test_support.h"
#include "platform/gtk/gtk_web_view.h"

namespace tarnel::platform::gtk::test {
namespace {

constexpr std::uint32_t kPing = WM_USER + 50;

GtkDialogWindow& Window() { return Platform().window(); }

std::vector<std::uint32_t> Kinds(const RecordingTarget& target) {
  std::vector<std::uint32_t> kinds;
  for (const auto& entry : target.log) {
    if (entry.message == WM_CREATE || entry.message == WM_INITDIALOG) kinds.push_back(entry.message);
  }
  return kinds;
}

TEST(GtkDialogWindow, CreateThenInitDialogThenBrowserCompletionsFromTheLoop) {
  RecordingTarget target;
  std::vector<std::string> order;
  std::shared_ptr<IWebEnvironment> environment;
  std::shared_ptr<IWebController> controller;
  bool insideCall = false;
  target.hook = [&](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_CREATE) {
      order.push_back("create");
      insideCall = true;
      Platform().browser().CreateEnvironment([&](std::shared_ptr<IWebEnvironment> env) {
        EXPECT_FALSE(insideCall) << "completed inside CreateEnvironment";
        order.push_back("environment");
        environment = std::move(env);
      });
      insideCall = false;
    }
    if (message == WM_INITDIALOG) {
      order.push_back("initdialog");
      return 1;
    }
    return 0;
  };
  const int result = RunModal(target, [&] {
    ASSERT_TRUE(RunLoopUntil([&] { return environment != nullptr; }));
    insideCall = true;
    environment->CreateController([&](std::shared_ptr<IWebController> made) {
      EXPECT_FALSE(insideCall) << "completed inside CreateController";
      order.push_back("controller");
      controller = std::move(made);
    });
    insideCall = false;
    ASSERT_TRUE(RunLoopUntil([&] { return !order.empty() && order.back() == "controller"; }));
    ASSERT_NE(controller, nullptr);
    ASSERT_NE(controller->GetCoreWebView2(), nullptr);
    // The view is the window's only child.
    auto* view = dynamic_cast<GtkWebView*>(controller->GetCoreWebView2().get());
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(gtk_bin_get_child(GTK_BIN(Window().Widget())), view->Widget());
    // A second controller for the same window is refused.
    bool secondDone = false;
    bool secondIsNull = false;
    environment->CreateController([&](std::shared_ptr<IWebController> made) {
      secondIsNull = made == nullptr;
      secondDone = true;
    });
    ASSERT_TRUE(RunLoopUntil([&] { return secondDone; }));
    EXPECT_TRUE(secondIsNull);
  });
  EXPECT_EQ(result, 7);
  EXPECT_EQ(order, (std::vector<std::string>{"create", "initdialog", "environment", "controller"}));
  EXPECT_EQ(Window().Handle(), nullptr);
  EXPECT_EQ(Window().Widget(), nullptr);
}

TEST(GtkDialogWindow, FailedCreateEndsTheRunWithoutInitDialog) {
  RecordingTarget target;
  target.hook = [](std::uint32_t message, WPARAM, LPARAM) -> LRESULT { return message == WM_CREATE ? -1 : 0; };
  EXPECT_EQ(Window().DoModal(target), -1);
  EXPECT_EQ(Kinds(target), (std::vector<std::uint32_t>{WM_CREATE}));
  EXPECT_EQ(Window().Widget(), nullptr);
}

TEST(GtkDialogWindow, EndDialogDuringInitDialogReturnsAtOnce) {
  RecordingTarget target;
  target.hook = [](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_INITDIALOG) Window().EndDialog(3);
    return 1;
  };
  EXPECT_EQ(Window().DoModal(target), 3);
  EXPECT_EQ(Kinds(target), (std::vector<std::uint32_t>{WM_CREATE, WM_INITDIALOG}));
}

TEST(GtkDialogWindow, PostsFromAnotherThreadRunOnTheMainThreadInOrder) {
  RecordingTarget target;
  constexpr int kPosts = 2000;
  RunModal(target, [&] {
    auto handle = Window().Handle();
    ASSERT_NE(handle, nullptr);
    std::thread worker([handle] {
      for (int i = 0; i < kPosts; ++i) handle->PostMessage(kPing, static_cast<WPARAM>(i), -i);
    });
    // The loop keeps running while the worker posts.
    RunLoopUntil([&] { return target.Of(kPing).size() == kPosts; });
    worker.join();
    ASSERT_TRUE(RunLoopUntil([&] { return target.Of(kPing).size() == kPosts; }));
  });
  const auto pings = target.Of(kPing);
  ASSERT_EQ(pings.size(), static_cast<std::size_t>(kPosts));
  for (int i = 0; i < kPosts; ++i) {
    EXPECT_EQ(pings[i].wParam, static_cast<WPARAM>(i));
    EXPECT_EQ(pings[i].lParam, -i);
    EXPECT_EQ(pings[i].thread, std::this_thread::get_id());
  }
}

TEST(GtkDialogWindow, PostsAfterTheRunAreDroppedEvenWhenTheTargetIsGone) {
  auto target = std::make_unique<RecordingTarget>();
  std::shared_ptr<WindowHandle> handle;
  RunModal(*target, [&] {
    handle = Window().Handle();
    // Queued now, still queued when the run ends.
    for (int i = 0; i < 10; ++i) handle->PostMessage(kPing, 0, 0);
  });
  ASSERT_NE(handle, nullptr);
  EXPECT_FALSE(handle->IsWindow());
  const std::size_t seen = target->Of(kPing).size();
  target.reset();
  std::thread late([handle] { EXPECT_FALSE(handle->PostMessage(kPing, 0, 0)); });
  late.join();
  // Let the queued posts run against the destroyed handle.
  for (int i = 0; i < 100 && g_main_context_iteration(nullptr, FALSE); ++i) {
  }
  EXPECT_LE(seen, 10u);
}

TEST(GtkDialogWindow, StartsOffScreenIconifiedUndecoratedWithIconAndTaskbarButton) {
  RecordingTarget target;
  target.hook = [](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_INITDIALOG) {
      Window().SetWindowPos(-10000, 0, 0, 0, SWP_NOSIZE);
      Window().SetAppIcon();
      Window().ShowWindow(SW_SHOWMINNOACTIVE);
      EXPECT_TRUE(Window().IsIconic());
      return 1;
    }
    return 0;
  };
  RunModal(target, [&] {
    GtkWindow* window = Window().Widget();
    ASSERT_TRUE(RunLoopUntil([&] { return GeometryOnServer(window).viewable; }));
    const ServerGeometry geometry = GeometryOnServer(window);
    EXPECT_EQ(geometry.x, -10000);
    EXPECT_EQ(geometry.y, 0);
    EXPECT_LE(geometry.x + geometry.width, 0) << "some of the window is on screen";
    EXPECT_EQ(Window().GetWindowRect().left, -10000);
    // A window manager would keep it iconified and give it a taskbar button.
    EXPECT_EQ(InitialStateHint(window), 3 /* IconicState */);
    const auto states = AtomProperty(window, "_NET_WM_STATE");
    EXPECT_EQ(std::count(states.begin(), states.end(), "_NET_WM_STATE_SKIP_TASKBAR"), 0);
    EXPECT_EQ(AtomProperty(window, "_NET_WM_WINDOW_TYPE"), (std::vector<std::string>{"_NET_WM_WINDOW_TYPE_NORMAL"}));
    EXPECT_EQ(MotifDecorations(window), 0);
    EXPECT_TRUE(HasProperty(window, "_NET_WM_ICON"));
  });
}

TEST(GtkDialogWindow, TemplateSizeAtStartAndSizeCommandsReportWmSize) {
  RecordingTarget target;
  RunModal(target, [&] {
    GtkWindow* window = Window().Widget();
    ASSERT_TRUE(RunLoopUntil([&] { return GeometryOnServer(window).viewable; }));
    // 320 x 200 dialog units of a 9-point font at 96 DPI.
    const ServerGeometry initial = GeometryOnServer(window);
    EXPECT_GT(initial.width, 400);
    EXPECT_LT(initial.width, 700);
    EXPECT_GT(initial.height, 280);
    EXPECT_LT(initial.height, 450);
    EXPECT_EQ(Window().GetClientRect(), (Rect{0, 0, initial.width, initial.height}));

    Window().SetWindowPos(0, 0, 640, 480, SWP_NOMOVE | SWP_NOZORDER);
    // Before the server has answered, the request is the answer.
    EXPECT_EQ(Window().GetClientRect(), (Rect{0, 0, 640, 480}));
    ASSERT_TRUE(RunLoopUntil([&] { return GeometryOnServer(window).width == 640; }));
    EXPECT_EQ(GeometryOnServer(window).height, 480);
    // Let the configure events of the map and the resize arrive.
    DrainEvents();
    EXPECT_EQ(GeometryOnServer(window).x, initial.x) << "SWP_NOMOVE moved the window";
  });
  const auto sizes = target.Of(WM_SIZE);
  ASSERT_FALSE(sizes.empty());
  EXPECT_EQ(sizes.back().wParam, SIZE_RESTORED);
  EXPECT_EQ(SizeWidth(sizes.back().lParam), 640);
  EXPECT_EQ(SizeHeight(sizes.back().lParam), 480);
  std::size_t reports640 = 0;
  for (const auto& size : sizes) reports640 += SizeWidth(size.lParam) == 640 ? 1 : 0;
  EXPECT_EQ(reports640, 1u) << "one WM_SIZE per change";
}

TEST(GtkDialogWindow, FirstCenterAfterTheOffScreenStartBringsTheWindowIntoTheMiddle) {
  RecordingTarget target;
  target.hook = [](std::uint32_t message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_INITDIALOG) {
      Window().SetWindowPos(-10000, 0, 0, 0, SWP_NOSIZE);
      Window().ShowWindow(SW_SHOWMINNOACTIVE);
    }
    return 1;
  };
  RunModal(target, [&] {
    GtkWindow* window = Window().Widget();
    ASSERT_TRUE(RunLoopUntil([&] { return GeometryOnServer(window).viewable; }));
    Window().SetWindowPos(0, 0, 800, 600, SWP_NOMOVE | SWP_NOZORDER);
    Window().CenterWindow();
    const ServerGeometry expected{(ScreenWidth() - 800) / 2, (ScreenHeight() - 600) / 2, 800, 600, true};
    EXPECT_TRUE(RunLoopUntil([&] { return GeometryOnServer(window) == expected; }))
        << GeometryOnServer(window).x << "," << GeometryOnServer(window).y << " " << GeometryOnServer(window).width
        << "x" << GeometryOnServer(window).height;
    EXPECT_FALSE(Window().IsIconic());
    EXPECT_EQ(Window().GetWindowRect(), (Rect{expected.x, expected.y, expected.x + 800, expected.y + 600}));
    EXPECT_EQ(Window().ClientToScreen({10, 20}), (Point{expected.x + 10, expected.y + 20}));

    // A window larger than the screen keeps its top-left corner on it.
    Window().SetWindowPos(0, 0, ScreenWidth() + 200, 300, SWP_NOMOVE | SWP_NOZORDER);
    Window().CenterWindow();
    EXPECT_TRUE(RunLoopUntil([&] { return GeometryOnServer(window).x == 0; }));
    EXPECT_EQ(GeometryOnServer(window).y, (ScreenHeight() - 300) / 2);
  });
}

TEST(GtkDialogWindow, ScreenDpiIs96ByDefault) {
  EXPECT_EQ(Window().GetScreenDpi().x, 96u);
  EXPECT_EQ(Window().GetScreenDpi().y, 96u);
}

// Runs this test program again with `environment` added and returns what it
// prints for "--print-screen-metrics": DPI x, DPI y, template width, height.
std::vector<int> ScreenMetricsWith(const char* variable, const char* value) {
  char self[4096] = {};
  const ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
  EXPECT_GT(length, 0);
  gchar** environment = g_get_environ();
  environment = g_environ_setenv(environment, variable, value, TRUE);
  gchar* argv[] = {self, const_cast<gchar*>("--print-screen-metrics"), nullptr};
  gchar* output = nullptr;
  gint status = 0;
  const gboolean ran =
      g_spawn_sync(nullptr, argv, environment, G_SPAWN_DEFAULT, nullptr, nullptr, &output, nullptr, &status, nullptr);
  g_strfreev(environment);
  std::vector<int> numbers;
  if (ran && output != nullptr) {
    std::istringstream in(output);
    for (int n = 0; in >> n;) numbers.push_back(n);
  }
  g_free(output);
  return numbers;
}

TEST(GtkDialogWindow, ScreenDpiAndTemplateFollowGdkDpiScale) {
  const auto normal = ScreenMetricsWith("TARNEL_UNUSED", "1");
  const auto scaled = ScreenMetricsWith("GDK_DPI_SCALE", "1.5");
  ASSERT_EQ(normal.size(), 4u);
  ASSERT_EQ(scaled.size(), 4u);
  EXPECT_EQ(normal[0], 96);
  EXPECT_EQ(scaled[0], 144);
  EXPECT_EQ(scaled[1], 144);
  // The template's font grows with the resolution, and the window with it.
  EXPECT_NEAR(scaled[2], normal[2] * 1.5, normal[2] * 0.1);
  EXPECT_NEAR(scaled[3], normal[3] * 1.5, normal[3] * 0.1);
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
