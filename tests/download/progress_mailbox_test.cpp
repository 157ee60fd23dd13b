// Progress reaches the UI thread throttled, newest first, and never lost at the end.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "download/progress_mailbox.h"

namespace tarnel::download {
namespace {

using namespace std::chrono_literals;

struct FakeClock {
  std::chrono::steady_clock::time_point now{};
  ProgressMailbox::Clock fn() {
    return [this] { return now; };
  }
};

TEST(ProgressMailbox, OneMessageInFlightAndTheHandlerReadsTheNewest) {
  FakeClock clock;
  ProgressMailbox mailbox(33ms, clock.fn());
  EXPECT_TRUE(mailbox.Update(10, 100));
  clock.now += 100ms;
  // Pending: no second post however much time passes.
  EXPECT_FALSE(mailbox.Update(20, 100));
  EXPECT_FALSE(mailbox.Update(30, 100));
  EXPECT_EQ(mailbox.Take(), (ProgressCounters{30, 100}));
  // Taken: nothing left until the next update.
  EXPECT_EQ(mailbox.Take(), std::nullopt);
  EXPECT_TRUE(mailbox.Update(40, 100));
}

TEST(ProgressMailbox, AtMostOnePostPerIntervalAndTheLastCountersWait) {
  FakeClock clock;
  ProgressMailbox mailbox(33ms, clock.fn());
  int posts = 0;
  // One second of updates every millisecond, each handled at once.
  for (int ms = 0; ms < 1000; ++ms) {
    clock.now = std::chrono::steady_clock::time_point{} + std::chrono::milliseconds(ms);
    if (mailbox.Update(static_cast<std::uint64_t>(ms + 1), 1000)) {
      ++posts;
      mailbox.Take();
    }
  }
  EXPECT_GE(posts, 29);
  EXPECT_LE(posts, 31);
  // The final counters were not posted, but the finish collects them.
  EXPECT_EQ(mailbox.Take(), (ProgressCounters{1000, 1000}));
}

TEST(ProgressMailbox, ConcurrentUpdatesNeverTearTheCounters) {
  ProgressMailbox mailbox(0ms);
  std::atomic<bool> done{false};
  std::thread worker([&] {
    for (std::uint64_t i = 1; i <= 200000; ++i) mailbox.Update(i, static_cast<std::int64_t>(i) * 2);
    done = true;
  });
  std::uint64_t last = 0;
  while (!done) {
    if (auto counters = mailbox.Take()) {
      EXPECT_EQ(counters->total, static_cast<std::int64_t>(counters->now) * 2);
      EXPECT_GE(counters->now, last);
      last = counters->now;
    }
  }
  worker.join();
  if (auto counters = mailbox.Take()) last = counters->now;
  EXPECT_EQ(last, 200000u);
}

}  // namespace
}  // namespace tarnel::download
