#include "platform/window_placement.h"

#include <gtest/gtest.h>

namespace tarnel::platform {
namespace {

const Rect kLeftMonitor{0, 0, 1920, 1080};
const Rect kRightMonitor{1920, 0, 3200, 1024};

TEST(MonitorForWindow, TheMonitorWithTheLargestShare) {
  const std::vector<Rect> monitors{kLeftMonitor, kRightMonitor};
  EXPECT_EQ(MonitorForWindow({100, 100, 500, 400}, monitors, 0), 0);
  EXPECT_EQ(MonitorForWindow({2000, 100, 2400, 400}, monitors, 0), 1);
  // Straddling the edge: 100 pixels on the left, 300 on the right.
  EXPECT_EQ(MonitorForWindow({1820, 100, 2220, 400}, monitors, 0), 1);
}

TEST(MonitorForWindow, AWindowOnNoMonitorGetsTheFallback) {
  const std::vector<Rect> monitors{kLeftMonitor, kRightMonitor};
  EXPECT_EQ(MonitorForWindow({-10000, 0, -9520, 325}, monitors, 1), 1);
  EXPECT_EQ(MonitorForWindow({-10000, 0, -9520, 325}, monitors, 0), 0);
  // Touching an edge is not lying on the monitor.
  EXPECT_EQ(MonitorForWindow({-400, 0, 0, 300}, monitors, 1), 1);
  EXPECT_EQ(MonitorForWindow({0, 0, 0, 0}, monitors, 1), 1);
  EXPECT_EQ(MonitorForWindow({0, 0, 10, 10}, {}, 0), 0);
}

TEST(CenteredInWorkArea, MiddleOfTheWorkAreaKeepingTheSize) {
  EXPECT_EQ(CenteredInWorkArea({-10000, 0, -9200, 600}, {0, 0, 1280, 1024}), (Rect{240, 212, 1040, 812}));
  // A work area that does not start at the origin (a panel on the left and top).
  EXPECT_EQ(CenteredInWorkArea({0, 0, 400, 300}, {64, 32, 1280, 1024}), (Rect{472, 378, 872, 678}));
  // Odd sizes: the half widths truncate.
  EXPECT_EQ(CenteredInWorkArea({0, 0, 401, 301}, {0, 0, 1001, 1001}), (Rect{300, 350, 701, 651}));
}

TEST(CenteredInWorkArea, ALargerWindowKeepsItsTopLeftCornerInTheWorkArea) {
  EXPECT_EQ(CenteredInWorkArea({0, 0, 2000, 1500}, {0, 40, 1280, 1024}), (Rect{0, 40, 2000, 1540}));
  EXPECT_EQ(CenteredInWorkArea({0, 0, 2000, 500}, {100, 0, 1380, 1024}), (Rect{100, 262, 2100, 762}));
}

}  // namespace
}  // namespace tarnel::platform
