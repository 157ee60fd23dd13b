#include "platform/win32/task_queue.h"

namespace tarnel::platform::win32 {

bool TaskQueue::Post(Task task) {
  std::unique_lock lock(mutex_);
  if (closed_) return false;
  tasks_.push_back(std::move(task));
  if (wakePending_) return true;
  if (!PostMessageW(window_, message_, 0, 0)) {
    // The window is gone or its queue is full: nothing would ever run it.
    Task dropped = std::move(tasks_.back());
    tasks_.pop_back();
    lock.unlock();
    return false;
  }
  wakePending_ = true;
  return true;
}

void TaskQueue::RunNext() {
  Task task;
  {
    std::lock_guard lock(mutex_);
    wakePending_ = false;
    if (closed_ || tasks_.empty()) return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
    // The next wake-up goes out before this task runs, so that a message
    // loop nested in the task keeps the queue moving.
    if (!tasks_.empty()) wakePending_ = PostMessageW(window_, message_, 0, 0) != FALSE;
  }
  task();
}

void TaskQueue::Close() {
  std::deque<Task> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(tasks_);
  }
  // Freed outside the lock: a task's captures may post again (and be refused).
}

bool TaskQueue::IsClosed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace tarnel::platform::win32
