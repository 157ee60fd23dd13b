#pragma once
// Runs tasks on the thread that made the dispatcher (the UI thread), posted
// from any thread, in posting order. A message-only window receives the
// wake-ups, so any message loop on that thread (the main window's, a message
// box's) runs them. Tasks still queued when the dispatcher goes are freed
// without running.
#include "platform/win32/windows_api.h"

#include <chrono>
#include <functional>
#include <map>
#include <memory>

#include "platform/win32/task_queue.h"
#include "platform/window_handle.h"

namespace tarnel::platform::win32 {

class UiDispatcher {
 public:
  // On the UI thread.
  UiDispatcher();
  ~UiDispatcher();
  UiDispatcher(const UiDispatcher&) = delete;
  UiDispatcher& operator=(const UiDispatcher&) = delete;

  // Any thread. False when the task was dropped (the dispatcher is gone or
  // has no window).
  bool Post(std::function<void()> task);
  // A scheduler that posts here, safe to keep longer than the dispatcher:
  // afterwards it drops its tasks.
  WindowHandle::Scheduler Scheduler() const;
  // UI thread. Runs `task` on this thread once `delay` has passed (a timer
  // of the dispatcher's window, so any message loop runs it); freed without
  // running when the dispatcher goes first. False when no timer was set.
  bool PostAfter(std::chrono::milliseconds delay, std::function<void()> task);

 private:
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

  void RunTimer(UINT_PTR id);

  HWND hwnd_ = nullptr;
  std::shared_ptr<TaskQueue> queue_;
  std::map<UINT_PTR, std::function<void()>> timers_;
  UINT_PTR nextTimer_ = 1;
};

}  // namespace tarnel::platform::win32
