#include "ui_loop.h"

#include <algorithm>

namespace tarnel::bench {

UiLoop::UiLoop() : thread_([this] { Run(); }) {}

UiLoop::~UiLoop() { Stop(); }

void UiLoop::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    tasks_.push_back(std::move(task));
    peakQueued_ = std::max(peakQueued_, tasks_.size());
  }
  wake_.notify_one();
}

void UiLoop::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void UiLoop::Run() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty()) return;  // stopping, and everything queued has run
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    lock.lock();
  }
}

}  // namespace tarnel::bench
