#include "download/progress_mailbox.h"

namespace tarnel::download {

ProgressMailbox::ProgressMailbox(std::chrono::milliseconds minInterval, Clock clock)
    : minInterval_(minInterval), clock_(std::move(clock)) {}

bool ProgressMailbox::Update(std::uint64_t now, std::int64_t total) {
  std::lock_guard lock(mutex_);
  newest_ = ProgressCounters{now, total};
  unsent_ = true;
  if (posted_) return false;
  const auto time = clock_();
  if (lastPost_ && time - *lastPost_ < minInterval_) return false;
  posted_ = true;
  lastPost_ = time;
  return true;
}

std::optional<ProgressCounters> ProgressMailbox::Take() {
  std::lock_guard lock(mutex_);
  posted_ = false;
  if (!unsent_) return std::nullopt;
  unsent_ = false;
  return newest_;
}

}  // namespace tarnel::download
