#pragma once
// The benchmark's stand-in for the GUI main loop: one thread that runs
// queued tasks in the order they were queued, as the toolkit's loop runs the
// idle callbacks that the window handle's scheduler adds.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tarnel::bench {

class UiLoop {
 public:
  // Starts the loop thread.
  UiLoop();
  // Stop().
  ~UiLoop();
  UiLoop(const UiLoop&) = delete;
  UiLoop& operator=(const UiLoop&) = delete;

  // Any thread. Queues a task for the loop thread; dropped after Stop().
  void Post(std::function<void()> task);

  // Any thread but the loop's. Runs the tasks queued so far, then ends the
  // loop and joins its thread.
  void Stop();

  // The most tasks that ever waited at once; read after Stop().
  std::size_t PeakQueueLength() const { return peakQueued_; }

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::size_t peakQueued_ = 0;
  std::thread thread_;
};

}  // namespace tarnel::bench
