// How tarnel's window first appears, watched from outside the process as a
// person sees it: from the moment any of it is on screen, reads of the screen
// should show the reference page at its final size, never an unpainted
// window; on a bare X server and under a window manager.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
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

class FirstShowTest : public ::testing::TestWithParam<bool> {
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
  const bool windowManager = GetParam();
  VirtualDisplay display;
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
  double largestGap = 0, watched = 0;
  for (int run = 0; run < kRuns; ++run) {
    test::TempDir dir;
    // As a user runs it: WebKit chooses its own compositing mode.
    auto tarnel = StartTarnel(dir.path(), display.name(), 1, "FIRSTSHOW00000000000000000000000",
                              {{"WEBKIT_DISABLE_COMPOSITING_MODE", ""}});
    // Long enough to see the view take over from the first picture of the page.
    const auto watch = windowManager ? 5000ms : 3000ms;
    const std::size_t eventsBefore = service_->RecordedEvents().size();
    const auto watchStart = Clock::now();
    const FirstShow show = WatchFirstShow(display.name(), kPageWidth, kPageHeight, 45s, watch);
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
    watched += static_cast<double>(watch.count());
  }
  const double meanGap = samples > 0 ? watched / samples : 0;
  std::sort(sized.begin(), sized.end());
  std::sort(visible.begin(), visible.end());
  std::sort(painted.begin(), painted.end());
  // From its first frame on screen the window shows the page, on both.
  EXPECT_EQ(unpainted, 0) << unpainted << " of " << samples << " reads showed an unpainted window";
  // The page's first message gives the window its size; without a window
  // manager that shows at once, even off screen.
  std::printf(
      "first show, %s, %d runs: spawn to window at the page's size median %.0f ms (%.0f to %.0f); "
      "spawn to window on screen median %.0f ms (%.0f to %.0f); "
      "spawn to first page frame median %.0f ms; unpainted reads %d of %d (%.0f ms at about %.1f ms a read); "
      "largest gap between reads %.1f ms\n",
      windowManager ? "openbox" : "bare X server", kRuns, sized[kRuns / 2], sized.front(), sized.back(),
      visible[kRuns / 2], visible.front(), visible.back(), painted[kRuns / 2], unpainted, samples, unpainted * meanGap,
      meanGap, largestGap);
}

INSTANTIATE_TEST_SUITE_P(Displays, FirstShowTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? std::string("UnderOpenbox") : std::string("BareXServer");
                         });

}  // namespace
}  // namespace tarnel::e2e
