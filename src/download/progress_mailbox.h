#pragma once
// Hands the newest progress counters from the download worker to the UI
// thread without flooding it: at most one progress message is in flight, and
// at most one is posted per interval. The UI side always reads the newest
// counters, and can collect the last ones before the finish is sent.
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>

namespace tarnel::download {

struct ProgressCounters {
  std::uint64_t now = 0;
  std::int64_t total = 0;
  bool operator==(const ProgressCounters&) const = default;
};

class ProgressMailbox {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  explicit ProgressMailbox(
      std::chrono::milliseconds minInterval = std::chrono::milliseconds(33),
      Clock clock = [] { return std::chrono::steady_clock::now(); });

  // Worker thread. Records the newest counters; true when the caller should
  // post a progress message now.
  bool Update(std::uint64_t now, std::int64_t total);

  // UI thread. The newest counters not yet taken, and the way free for the
  // next post; nothing when every update has been taken.
  std::optional<ProgressCounters> Take();

 private:
  std::mutex mutex_;
  std::chrono::milliseconds minInterval_;
  Clock clock_;
  ProgressCounters newest_;
  bool unsent_ = false;
  bool posted_ = false;  // a progress message is in flight
  std::optional<std::chrono::steady_clock::time_point> lastPost_;
};

}  // namespace tarnel::download
