#pragma once
// The handle through which any thread posts messages to the dialog window.
//
// A post from any thread is handed to the platform's UI scheduler and runs the
// window procedure later on the UI thread, in posting order. After Destroy()
// (UI thread) every post, queued or new, is dropped, so a worker that outlives
// the window never reaches freed memory: it holds only this handle.
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "platform/messages.h"

namespace tarnel::platform {

class WindowHandle : public std::enable_shared_from_this<WindowHandle> {
 public:
  // Runs a task later on the UI thread; must be safe to call from any thread.
  using Scheduler = std::function<void(std::function<void()>)>;
  // The window procedure; called on the UI thread only.
  using Procedure = std::function<LRESULT(std::uint32_t, WPARAM, LPARAM)>;

  static std::shared_ptr<WindowHandle> Create(Scheduler scheduler, Procedure procedure);

  // Any thread. Returns false when the window is gone and the post was dropped.
  bool PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam);

  // UI thread. Runs the window procedure now (SendMessage); nothing after Destroy().
  LRESULT SendMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam);

  // UI thread. From now on nothing reaches the window procedure.
  void Destroy();
  bool IsWindow() const { return alive_.load(); }

 private:
  WindowHandle(Scheduler scheduler, Procedure procedure);

  std::mutex mutex_;  // orders posts against Destroy()
  Scheduler scheduler_;
  Procedure procedure_;
  std::atomic<bool> alive_{true};
};

}  // namespace tarnel::platform
