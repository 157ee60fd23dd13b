#include "platform/win32/ui_dispatcher.h"

#include <algorithm>
#include <mutex>

namespace tarnel::platform::win32 {
namespace {

constexpr const wchar_t* kClassName = L"TarnelUiDispatcher";
constexpr UINT kWakeMessage = WM_APP + 2;

}  // namespace

UiDispatcher::UiDispatcher() {
  static std::once_flag once;
  std::call_once(once, [] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    RegisterClassExW(&windowClass);
  });
  hwnd_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr), nullptr);
  queue_ = std::make_shared<TaskQueue>(hwnd_, kWakeMessage);
  if (hwnd_ == nullptr) {
    queue_->Close();
  } else {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  }
}

UiDispatcher::~UiDispatcher() {
  queue_->Close();
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    for (const auto& timer : timers_) KillTimer(hwnd_, timer.first);
    DestroyWindow(hwnd_);
  }
}

bool UiDispatcher::Post(std::function<void()> task) { return queue_->Post(std::move(task)); }

WindowHandle::Scheduler UiDispatcher::Scheduler() const {
  return [queue = std::weak_ptr<TaskQueue>(queue_)](std::function<void()> task) {
    if (const auto live = queue.lock()) live->Post(std::move(task));
  };
}

bool UiDispatcher::PostAfter(std::chrono::milliseconds delay, std::function<void()> task) {
  if (hwnd_ == nullptr || queue_->IsClosed()) return false;
  const UINT_PTR id = nextTimer_++;
  const auto milliseconds =
      static_cast<UINT>(std::max<std::chrono::milliseconds::rep>(delay.count(), USER_TIMER_MINIMUM));
  if (SetTimer(hwnd_, id, milliseconds, nullptr) == 0) return false;
  timers_.emplace(id, std::move(task));
  return true;
}

void UiDispatcher::RunTimer(UINT_PTR id) {
  KillTimer(hwnd_, id);  // once only
  const auto found = timers_.find(id);
  if (found == timers_.end()) return;
  std::function<void()> task = std::move(found->second);
  timers_.erase(found);
  task();
}

LRESULT CALLBACK UiDispatcher::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dispatcher = reinterpret_cast<UiDispatcher*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == kWakeMessage) {
    if (dispatcher != nullptr) dispatcher->queue_->RunNext();
    return 0;
  }
  if (message == WM_TIMER) {
    if (dispatcher != nullptr) dispatcher->RunTimer(static_cast<UINT_PTR>(wParam));
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace tarnel::platform::win32
