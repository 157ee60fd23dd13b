#include "platform/geometry_tracker.h"

#include <gtest/gtest.h>

namespace tarnel::platform {
namespace {

using Clock = GeometryTracker::Clock;
using std::chrono::milliseconds;

const Clock::time_point kStart{};
const Rect kFirst{100, 100, 500, 400};
const Rect kSecond{110, 105, 510, 405};
const Rect kThird{120, 110, 520, 410};

TEST(GeometryTracker, ARequestAnswersUntilTheSystemConfirmsIt) {
  GeometryTracker tracker;
  tracker.Configured(kFirst, kStart);
  EXPECT_EQ(tracker.Current(kStart), kFirst);
  tracker.Requested(kSecond, kStart + milliseconds(10));
  EXPECT_EQ(tracker.Current(kStart + milliseconds(11)), kSecond);
  tracker.Configured(kSecond, kStart + milliseconds(20));
  EXPECT_EQ(tracker.Current(kStart + milliseconds(21)), kSecond);
  // Later reports (the user or the window manager moved it) win again.
  tracker.Configured(kThird, kStart + milliseconds(30));
  EXPECT_EQ(tracker.Current(kStart + milliseconds(31)), kThird);
}

TEST(GeometryTracker, AnswersToOlderRequestsDoNotPullADragBack) {
  GeometryTracker tracker;
  tracker.Configured(kFirst, kStart);
  tracker.Requested(kSecond, kStart + milliseconds(1));
  tracker.Requested(kThird, kStart + milliseconds(2));
  tracker.Configured(kSecond, kStart + milliseconds(3));  // the answer to the first move
  EXPECT_EQ(tracker.Current(kStart + milliseconds(4)), kThird);
  tracker.Configured(kThird, kStart + milliseconds(5));
  EXPECT_EQ(tracker.Current(kStart + milliseconds(6)), kThird);
}

TEST(GeometryTracker, TheSystemsPlacementWinsOverAnOldRequest) {
  // A window manager that refuses an off-screen position puts the window elsewhere.
  GeometryTracker tracker;
  const Rect offScreen{-10000, 0, -9520, 325};
  const Rect placed{0, 0, 480, 325};
  tracker.Requested(offScreen, kStart);
  tracker.Configured(placed, kStart + milliseconds(5));
  EXPECT_EQ(tracker.Current(kStart + milliseconds(6)), offScreen);
  EXPECT_EQ(tracker.Current(kStart + GeometryTracker::kGrace), placed);
  // A report that comes after the grace time is taken at once.
  tracker.Requested(kFirst, kStart + milliseconds(1000));
  tracker.Configured(placed, kStart + milliseconds(1000) + GeometryTracker::kGrace);
  EXPECT_EQ(tracker.Current(kStart + milliseconds(1000) + GeometryTracker::kGrace), placed);
}

TEST(GeometryTracker, AnUnansweredRequestStaysTheBestAnswer) {
  // Nothing is reported when a request changes nothing.
  GeometryTracker tracker;
  tracker.Configured(kFirst, kStart);
  tracker.Requested(kSecond, kStart + milliseconds(1));
  EXPECT_EQ(tracker.Current(kStart + milliseconds(5000)), kSecond);
}

}  // namespace
}  // namespace tarnel::platform
