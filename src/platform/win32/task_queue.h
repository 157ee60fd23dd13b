#pragma once
// Tasks handed from any thread to one window's thread, in posting order.
//
// Post() queues the task and, when no wake-up is pending, posts one private
// message to the window; the window procedure calls RunNext() for it, which
// runs the oldest task and posts the next wake-up first when more are queued.
// So at most one wake-up is ever in the thread's message queue, and a nested
// message loop (a message box) keeps running the queue. Close() frees every
// queued task without running it and refuses later posts.
#include "platform/win32/windows_api.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tarnel::platform::win32 {

class TaskQueue {
 public:
  using Task = std::function<void()>;

  // `window` receives `message` (wParam and lParam 0) for every wake-up.
  TaskQueue(HWND window, UINT message) : window_(window), message_(message) {}
  TaskQueue(const TaskQueue&) = delete;
  TaskQueue& operator=(const TaskQueue&) = delete;
  ~TaskQueue() { Close(); }

  // Any thread. False when the queue is closed or the window is gone; the
  // task is then freed without running.
  bool Post(Task task);
  // The window's thread, on the wake-up message. Runs at most one task.
  void RunNext();
  // The window's thread (or any, once nothing posts any more).
  void Close();
  bool IsClosed() const;

 private:
  mutable std::mutex mutex_;
  HWND window_;
  UINT message_;
  std::deque<Task> tasks_;
  bool wakePending_ = false;
  bool closed_ = false;
};

}  // namespace tarnel::platform::win32
