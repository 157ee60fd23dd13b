#include "platform/window_handle.h"

namespace tarnel::platform {

std::shared_ptr<WindowHandle> WindowHandle::Create(Scheduler scheduler, Procedure procedure) {
  return std::shared_ptr<WindowHandle>(new WindowHandle(std::move(scheduler), std::move(procedure)));
}

WindowHandle::WindowHandle(Scheduler scheduler, Procedure procedure)
    : scheduler_(std::move(scheduler)), procedure_(std::move(procedure)) {}

bool WindowHandle::PostMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  std::lock_guard lock(mutex_);
  if (!alive_.load()) return false;
  // The task keeps the handle alive, not the window; it checks liveness when it runs.
  scheduler_([self = shared_from_this(), message, wParam, lParam] { self->SendMessage(message, wParam, lParam); });
  return true;
}

LRESULT WindowHandle::SendMessage(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  if (!alive_.load()) return 0;
  return procedure_(message, wParam, lParam);
}

void WindowHandle::Destroy() {
  std::lock_guard lock(mutex_);
  // The procedure itself stays: Destroy() may be called from inside it.
  alive_.store(false);
}

}  // namespace tarnel::platform
