#include "platform/win32/win32_dialog_window.h"

#include <mutex>

#include "platform/wide_text.h"
#include "platform/win32/dialog_template.h"
#include "platform/win32/resource_ids.h"
#include "platform/win32/save_dialog.h"
#include "platform/window_placement.h"

namespace tarnel::platform::win32 {
namespace {

constexpr const wchar_t* kClassName = L"TarnelDialogWindow";

HICON LoadAppIcon(int size) {
  // No icon resource in the executable (the tests) leaves the default icon.
  return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_TARNEL), IMAGE_ICON, size, size,
                                       LR_DEFAULTCOLOR | LR_SHARED));
}

// Registers the window class once per process; false when that failed.
bool RegisterWindowClass(WNDPROC procedure) {
  static std::once_flag once;
  static bool registered = false;
  std::call_once(once, [&] {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hIcon = LoadAppIcon(GetSystemMetrics(SM_CXICON));
    windowClass.hIconSm = LoadAppIcon(GetSystemMetrics(SM_CXSMICON));
    if (windowClass.hIcon == nullptr)
      windowClass.hIcon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512));    // IDI_APPLICATION
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    registered = RegisterClassExW(&windowClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  });
  return registered;
}

}  // namespace

Win32DialogWindow::~Win32DialogWindow() { DestroyWindow(); }

int Win32DialogWindow::DoModal(IMessageTarget& target) {
  if (hwnd_ != nullptr || target_ != nullptr) return -1;  // one modal run at a time
  if (!RegisterWindowClass(WindowProcedure)) return -1;
  ended_ = false;
  result_ = 0;
  shown_ = false;
  revealOnCenter_ = false;
  capturing_ = false;
  target_ = &target;

  // The template's size, centred on the primary work area, as a centred
  // dialog template is placed at creation. Created hidden: shown once
  // WM_INITDIALOG has set it up.
  const PixelSize size = TemplateSize();
  RECT workArea{};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
  const Rect initial =
      CenteredInWorkArea({0, 0, size.cx, size.cy}, {workArea.left, workArea.top, workArea.right, workArea.bottom});
  // No caption and no border; WS_SYSMENU and WS_MINIMIZEBOX give the taskbar
  // button its minimise, restore and close.
  const DWORD style = WS_POPUP | WS_CLIPCHILDREN | WS_SYSMENU | WS_MINIMIZEBOX;
  HWND hwnd = CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"", style, initial.left, initial.top, initial.Width(),
                              initial.Height(), nullptr, nullptr, GetModuleHandleW(nullptr), this);
  if (hwnd == nullptr) {
    // WM_CREATE refused, or no window at all: WM_NCDESTROY has cleaned up if it came.
    DestroyWindow();
    target_ = nullptr;
    return -1;
  }
  if (const auto handle = handle_) handle->SendMessage(WM_INITDIALOG, 0, 0);

  if (!ended_ && hwnd_ != nullptr) {
    if (!IsWindowVisible(hwnd_)) ::ShowWindow(hwnd_, SW_SHOW);
    shown_ = true;
    MSG message;
    while (!ended_) {
      const BOOL got = GetMessageW(&message, nullptr, 0, 0);
      if (got == -1) break;
      if (got == 0) {
        // WM_QUIT ends this loop and stays for the loop outside it.
        PostQuitMessage(static_cast<int>(message.wParam));
        if (!ended_) result_ = IDCANCEL;
        break;
      }
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }
  const int result = result_;
  DestroyWindow();
  target_ = nullptr;
  return result;
}

void Win32DialogWindow::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  // Wakes the loop in case this came from outside a dispatched message.
  if (hwnd_ != nullptr) PostMessageW(hwnd_, WM_NULL, 0, 0);
}

void Win32DialogWindow::Attach(HWND hwnd) {
  hwnd_ = hwnd;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  queue_ = std::make_shared<TaskQueue>(hwnd, kRunTaskMessage);
  std::weak_ptr<TaskQueue> queue = queue_;
  IMessageTarget* target = target_;
  handle_ = WindowHandle::Create(
      [queue](std::function<void()> task) {
        if (const auto live = queue.lock()) live->Post(std::move(task));
      },
      [target](std::uint32_t message, WPARAM wParam, LPARAM lParam) {
        return target->WindowProc(message, wParam, lParam);
      });
}

void Win32DialogWindow::Detach() {
  ReleaseCapture();
  if (handle_) {
    handle_->Destroy();  // later posts are refused from now on
    handle_.reset();
  }
  if (queue_) {
    queue_->Close();  // queued posts are freed without running
    queue_.reset();
  }
  if (hwnd_ != nullptr) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  hwnd_ = nullptr;
  capturing_ = false;
}

void Win32DialogWindow::DestroyWindow() {
  HWND hwnd = hwnd_;
  Detach();
  if (hwnd != nullptr) ::DestroyWindow(hwnd);
}

LRESULT Win32DialogWindow::Send(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  const auto handle = handle_;
  return handle ? handle->SendMessage(message, wParam, lParam) : 0;
}

LRESULT CALLBACK Win32DialogWindow::WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Win32DialogWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (message == WM_NCCREATE) {
    self = static_cast<Win32DialogWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    self->Attach(hwnd);
  }
  if (self == nullptr || self->hwnd_ != hwnd) return DefWindowProcW(hwnd, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT Win32DialogWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND hwnd = hwnd_;
  switch (message) {
    case kRunTaskMessage:
      if (const auto queue = queue_) queue->RunNext();
      return 0;
    case WM_CREATE: return Send(platform::WM_CREATE, 0, 0) == -1 ? -1 : 0;
    case WM_SIZE: Send(platform::WM_SIZE, wParam, lParam); return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP: Send(message, wParam, lParam); return 0;
    case WM_CAPTURECHANGED: capturing_ = false; return 0;
    case WM_QUERYDRAGICON:
      if (const LRESULT icon = Send(message, wParam, lParam); icon != 0) return icon;
      break;
    case WM_PAINT:
      // The target sees it; the default handling then validates the window.
      Send(message, wParam, lParam);
      break;
    case WM_GETMINMAXINFO: {
      // Maximised, a borderless window fills its monitor's work area, not the
      // whole monitor: the taskbar stays in view.
      MONITORINFO info{};
      info.cbSize = sizeof(info);
      if (!GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info)) break;
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMaxPosition = {info.rcWork.left - info.rcMonitor.left, info.rcWork.top - info.rcMonitor.top};
      limits->ptMaxSize = {info.rcWork.right - info.rcWork.left, info.rcWork.bottom - info.rcWork.top};
      return 0;
    }
    case WM_CLOSE:
      // Closing from the taskbar or Alt+F4 cancels the dialog.
      EndDialog(IDCANCEL);
      return 0;
    case WM_NCDESTROY:
      // Destroyed from elsewhere: end the run.
      Detach();
      if (!ended_) EndDialog(IDCANCEL);
      return DefWindowProcW(hwnd, message, wParam, lParam);
    default: break;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

void Win32DialogWindow::SetAppIcon() {
  if (hwnd_ == nullptr) return;
  if (HICON big = LoadAppIcon(GetSystemMetrics(SM_CXICON))) {
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  }
  if (HICON small = LoadAppIcon(GetSystemMetrics(SM_CXSMICON))) {
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));
  }
}

void Win32DialogWindow::SetWindowText(const std::string& text) {
  if (hwnd_ != nullptr) SetWindowTextW(hwnd_, Utf8ToWide(text).c_str());
}

std::string Win32DialogWindow::GetWindowText() {
  if (hwnd_ == nullptr) return {};
  const int length = GetWindowTextLengthW(hwnd_);
  if (length <= 0) return {};
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(hwnd_, text.data(), length + 1);
  text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
  return WideToUtf8(text);
}

int Win32DialogWindow::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  const int answer = MessageBoxW(hwnd_, Utf8ToWide(text).c_str(), Utf8ToWide(caption).c_str(), type);
  // Closing a box with only an OK button answers IDOK; a failure counts as closed.
  return answer != 0 ? answer : IDOK;
}

std::optional<std::string> Win32DialogWindow::ShowSaveDialog(const SaveDialogOptions& options) {
  return RunSaveDialog(hwnd_, options);
}

}  // namespace tarnel::platform::win32
