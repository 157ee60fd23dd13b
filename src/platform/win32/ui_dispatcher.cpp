#include "platform/win32/ui_dispatcher.h"

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
  hwnd_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                          nullptr);
  queue_ = std::make_shared<TaskQueue>(hwnd_, kWakeMessage);
  if (hwnd_ == nullptr) {
    queue_->Close();
  } else {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(queue_.get()));
  }
}

UiDispatcher::~UiDispatcher() {
  queue_->Close();
  if (hwnd_ != nullptr) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
}

bool UiDispatcher::Post(std::function<void()> task) { return queue_->Post(std::move(task)); }

WindowHandle::Scheduler UiDispatcher::Scheduler() const {
  return [queue = std::weak_ptr<TaskQueue>(queue_)](std::function<void()> task) {
    if (const auto live = queue.lock()) live->Post(std::move(task));
  };
}

LRESULT CALLBACK UiDispatcher::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kWakeMessage) {
    if (auto* queue = reinterpret_cast<TaskQueue*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA))) queue->RunNext();
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace tarnel::platform::win32
