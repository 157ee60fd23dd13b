#pragma once
// The benchmark's stand-in for the page: a thread that posts one message to
// the window at a steady interval, carrying its posting time, so that the
// window can measure how long page input waits while a download runs.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/window_handle.h"

namespace tarnel::bench {

class PageTicker {
 public:
  // Starts posting at once: message with wParam = posting time (TickTime()).
  PageTicker(std::shared_ptr<platform::WindowHandle> window, std::uint32_t message, std::chrono::milliseconds interval);
  // Stop().
  ~PageTicker();
  PageTicker(const PageTicker&) = delete;
  PageTicker& operator=(const PageTicker&) = delete;

  // Any thread but the ticker's. No post after this returns.
  void Stop();
  // Read after Stop().
  std::uint64_t Posted() const { return posted_; }

  // The clock of the posting times, in nanoseconds of the steady clock.
  static std::uint64_t TickTime();

 private:
  void Run();

  std::shared_ptr<platform::WindowHandle> window_;
  std::uint32_t message_;
  std::chrono::milliseconds interval_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::uint64_t posted_ = 0;
  std::thread thread_;
};

}  // namespace tarnel::bench
