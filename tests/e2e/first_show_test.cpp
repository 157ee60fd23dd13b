// How tarnel's window first appears, watched from outside the process as a
// person sees it: from the moment any of it is on screen, reads of the screen
// should show the reference page at its final size, never an unpainted
// window; on a bare X server and under a window manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "e2e_support.h"
#include "first_show_watch.h"
#include "standin_service.h"
#include "support/temp_dir.h"

namespace tarnel::e2e {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kRuns = 10;
constexpr int kPageWidth = 720, kPageHeight = 460;  // the reference page's window at 96 dpi

// Where the window first shows: with or without a window manager, at a
// window scale of 1 or 2 (GDK_SCALE, device pixels per logical one).
// The first frame may differ from the page a moment later in this share of
// its pixels: the page changes a little once in view (up to about 3 % under
// openbox here). A picture at another scale differed in about 14 %.
constexpr double kMostDifferent = 0.08;

struct Display {
  bool windowManager;
  int scale;
};
void PrintTo(const Display& display, std::ostream* out) {
  *out << (display.windowManager ? "openbox" : "bare X server") << ", scale " << display.scale;
}

TEST(LooksPainted, OneColourIsUnpaintedManyArePainted) {
  std::vector<unsigned> pixels(64 * 48, 0xf6f5f4u);
  EXPECT_FALSE(LooksPainted(pixels.data(), 64, 48));
  // A little text is not enough to count as a page, a page's worth is.
  for (int i = 0; i < 5; ++i) pixels[static_cast<std::size_t>(i) * 3] = 0x101010u * static_cast<unsigned>(i + 1);
  EXPECT_FALSE(LooksPainted(pixels.data(), 64, 48));
  for (std::size_t i = 0; i < pixels.size(); i += 3) pixels[i] = static_cast<unsigned>(i % 40) * 0x030201u;
  EXPECT_TRUE(LooksPainted(pixels.data(), 64, 48));
  EXPECT_FALSE(LooksPainted(pixels.data(), 0, 0));
}

class FirstShowTest : public ::testing::TestWithParam<Display> {
 protected:
  static void SetUpTestSuite() {
    standin::ServiceOptions options;
    options.port = TARNEL_API_PORT;
    service_ = new standin::StandinService(options);
    service_->Start();
  }
  static void TearDownTestSuite() {
    delete service_;
    service_ = nullptr;
  }

  static standin::StandinService* service_;
};

standin::StandinService* FirstShowTest::service_ = nullptr;

TEST_P(FirstShowTest, TheFirstFrameOnScreenIsThePage) {
  const bool windowManager = GetParam().windowManager;
  const int scale = GetParam().scale;
  VirtualDisplay display("/dev/null", scale == 1 ? "1280x1024x24" : "2560x2048x24");
  test::TempDir home;
  std::unique_ptr<Process> manager;
  if (windowManager) {
    manager = std::make_unique<Process>(
        std::vector<std::string>{"openbox", "--sm-disable"},
        std::map<std::string, std::string>{{"DISPLAY", display.name()}, {"HOME", home.path().string()}},
        home.file("openbox.log"));
    ASSERT_TRUE(WaitFor([&] {
      return XwinInfo(display.name(), {"-root", "-tree"}).find("Openbox") != std::string::npos ||
             Capture({"xprop", "-root", "_NET_SUPPORTING_WM_CHECK"}, {{"DISPLAY", display.name()}}).find("window id") !=
                 std::string::npos;
    })) << "openbox did not start";
  }

  std::vector<double> sized, visible, painted;
  int unpainted = 0, samples = 0;
  double largestGap = 0, watched = 0, largestDifference = 0;
  for (int run = 0; run < kRuns; ++run) {
    test::TempDir dir;
    // As a user runs it: WebKit chooses its own compositing mode.
    auto tarnel = StartTarnel(dir.path(), display.name(), 1, "FIRSTSHOW00000000000000000000000",
                              {{"WEBKIT_DISABLE_COMPOSITING_MODE", ""}, {"GDK_SCALE", std::to_string(scale)}});
    // Long enough to see the view take over from the first picture of the page.
    const auto watch = windowManager ? 5000ms : 3000ms;
    const std::size_t eventsBefore = service_->RecordedEvents().size();
    const auto watchStart = Clock::now();
    const FirstShow show = WatchFirstShow(display.name(), kPageWidth * scale, kPageHeight * scale, 45s, watch);
    if (!show.shown) {
      // What there is to know: did the page ask for its size, is tarnel alive,
      // what does the X server hold.
      std::string events;
      const auto all = service_->RecordedEvents();
      for (std::size_t i = eventsBefore; i < all.size(); ++i) events += all[i].dump() + "\n";
      const std::optional<int> exit = tarnel->WaitForExit(0ms);
      ADD_FAILURE() << "run " << run << ": the window never came on screen (watched "
                    << std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - watchStart).count()
                    << " ms); tarnel " << (exit ? "ended with " + std::to_string(*exit) : std::string("still runs"))
                    << "\nevents:\n"
                    << events << "windows:\n"
                    << XwinInfo(display.name(), {"-root", "-tree"}) << "tarnel's output:\n"
                    << test::ReadFile(dir.file("tarnel.log"));
      return;
    }
    if (show.unpainted > 0) {
      std::printf("run %d: %d unpainted reads, %.1f to %.1f ms after the window came on screen\n", run, show.unpainted,
                  show.firstUnpaintedMs, show.lastUnpaintedMs);
    }
    EXPECT_GT(show.samples, 0) << "run " << run;
    EXPECT_GT(show.paintedMs, 0) << "run " << run << ": the page never showed";
    sized.push_back(show.sizedMs);
    visible.push_back(show.visibleMs);
    painted.push_back(show.paintedMs);
    unpainted += show.unpainted;
    samples += show.samples;
    largestGap = std::max(largestGap, show.largestGapMs);
    largestDifference = std::max(largestDifference, show.firstFrameDifference);
    watched += static_cast<double>(watch.count());
  }
  const double meanGap = samples > 0 ? watched / samples : 0;
  std::sort(sized.begin(), sized.end());
  std::sort(visible.begin(), visible.end());
  std::sort(painted.begin(), painted.end());
  // From its first frame on screen the window shows the page, on both.
  EXPECT_EQ(unpainted, 0) << unpainted << " of " << samples << " reads showed an unpainted window";
  // And the page as it goes on to look: not at another place or scale.
  EXPECT_LE(largestDifference, kMostDifferent)
      << "the first frame differs from the page in " << largestDifference * 100 << " % of its pixels";
  // The page's first message gives the window its size; without a window
  // manager that shows at once, even off screen.
  std::printf(
      "first show, %s, %d runs: spawn to window at the page's size median %.0f ms (%.0f to %.0f); "
      "spawn to window on screen median %.0f ms (%.0f to %.0f); "
      "spawn to first page frame median %.0f ms; unpainted reads %d of %d (%.0f ms at about %.1f ms a read); "
      "largest gap between reads %.1f ms; first frame against the last, most different %.2f %% of pixels\n",
      windowManager ? "openbox" : (scale == 1 ? "bare X server" : "bare X server at scale 2"), kRuns, sized[kRuns / 2],
      sized.front(), sized.back(), visible[kRuns / 2], visible.front(), visible.back(), painted[kRuns / 2], unpainted,
      samples, unpainted * meanGap, meanGap, largestGap, largestDifference * 100);
}

INSTANTIATE_TEST_SUITE_P(Displays, FirstShowTest,
                         ::testing::Values(Display{false, 1}, Display{true, 1}, Display{false, 2}),
                         [](const ::testing::TestParamInfo<Display>& info) {
                           return std::string(info.param.windowManager ? "UnderOpenbox" : "BareXServer") +
                                  (info.param.scale == 1 ? "" : "AtScale" + std::to_string(info.param.scale));
                         });

}  // namespace
}  // namespace tarnel::e2e
