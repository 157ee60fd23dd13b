#include "page_ticker.h"

namespace tarnel::bench {

PageTicker::PageTicker(std::shared_ptr<platform::WindowHandle> window, std::uint32_t message,
                       std::chrono::milliseconds interval)
    : window_(std::move(window)), message_(message), interval_(interval), thread_([this] { Run(); }) {}

PageTicker::~PageTicker() { Stop(); }

void PageTicker::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

std::uint64_t PageTicker::TickTime() {
  return static_cast<std::uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

void PageTicker::Run() {
  // A fixed cadence: a late tick does not push the later ones back.
  auto next = std::chrono::steady_clock::now();
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    window_->PostMessage(message_, TickTime(), 0);
    ++posted_;
    next += interval_;
    wake_.wait_until(lock, next, [this] { return stopping_; });
  }
}

}  // namespace tarnel::bench
