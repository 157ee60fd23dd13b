// Placement, show state, capture and screen metrics of the main window.
#include "platform/win32/win32_dialog_window.h"
#include "platform/win32/window_flags.h"
#include "platform/window_placement.h"

namespace tarnel::platform::win32 {
namespace {

struct MonitorAreas {
  Rect monitor;
  Rect workArea;
};

MonitorAreas AreasOf(HMONITOR monitor) {
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (monitor == nullptr || !GetMonitorInfoW(monitor, &info)) {
    RECT workArea{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const Rect screen{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    return {screen, ToRect(workArea)};
  }
  return {ToRect(info.rcMonitor), ToRect(info.rcWork)};
}

MonitorAreas AreasFor(const Rect& rect) {
  const RECT r = ToRECT(rect);
  return AreasOf(MonitorFromRect(&r, MONITOR_DEFAULTTOPRIMARY));
}

}  // namespace

Rect Win32DialogWindow::RestoredRect() {
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (!GetWindowPlacement(hwnd_, &placement)) return {};
  const Rect workspace = ToRect(placement.rcNormalPosition);
  const MonitorAreas areas = AreasFor(workspace);
  return WorkspaceToScreen(workspace, areas.monitor, areas.workArea);
}

void Win32DialogWindow::Place(const Rect& rect, UINT flags) {
  if (!::IsIconic(hwnd_)) {
    ::SetWindowPos(hwnd_, nullptr, rect.left, rect.top, rect.Width(), rect.Height(), flags);
    return;
  }
  // A minimised window keeps the new place for when it is restored.
  const Rect restored = RestoredRect();
  Rect next = restored;
  if ((flags & SWP_NOMOVE) == 0) next = {rect.left, rect.top, rect.left + next.Width(), rect.top + next.Height()};
  if ((flags & SWP_NOSIZE) == 0) next = {next.left, next.top, next.left + rect.Width(), next.top + rect.Height()};
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (!GetWindowPlacement(hwnd_, &placement)) return;
  const MonitorAreas areas = AreasFor(next);
  placement.rcNormalPosition = ToRECT(ScreenToWorkspace(next, areas.monitor, areas.workArea));
  placement.showCmd = SW_SHOWMINNOACTIVE;
  SetWindowPlacement(hwnd_, &placement);
}

void Win32DialogWindow::SetWindowPos(int x, int y, int cx, int cy, unsigned flags) {
  if (hwnd_ == nullptr) return;
  Place({x, y, x + cx, y + cy}, ToSetWindowPosFlags(flags));
}

void Win32DialogWindow::MoveWindow(const Rect& rect, bool repaint) {
  if (hwnd_ == nullptr) return;
  if (::IsIconic(hwnd_)) {
    Place(rect, SWP_NOZORDER | SWP_NOACTIVATE);
    return;
  }
  ::MoveWindow(hwnd_, rect.left, rect.top, rect.Width(), rect.Height(), repaint ? TRUE : FALSE);
}

Rect Win32DialogWindow::GetWindowRect() {
  if (hwnd_ == nullptr) return {};
  // A minimised window answers with where it will be restored to.
  if (::IsIconic(hwnd_)) return RestoredRect();
  RECT rect{};
  ::GetWindowRect(hwnd_, &rect);
  return ToRect(rect);
}

Rect Win32DialogWindow::GetClientRect() {
  if (hwnd_ == nullptr) return {};
  if (::IsIconic(hwnd_)) {
    // No frame: the client area is the whole restored window.
    const Rect restored = RestoredRect();
    return {0, 0, restored.Width(), restored.Height()};
  }
  RECT rect{};
  ::GetClientRect(hwnd_, &rect);
  return ToRect(rect);
}

Point Win32DialogWindow::ClientToScreen(Point point) {
  if (hwnd_ == nullptr) return point;
  if (::IsIconic(hwnd_)) {
    const Rect restored = RestoredRect();
    return {restored.left + point.x, restored.top + point.y};
  }
  POINT p{point.x, point.y};
  ::ClientToScreen(hwnd_, &p);
  return {p.x, p.y};
}

void Win32DialogWindow::CenterWindow() {
  if (hwnd_ == nullptr) return;
  const bool iconic = ::IsIconic(hwnd_);
  const Rect current = GetWindowRect();
  const MonitorAreas areas = iconic ? AreasFor(current) : AreasOf(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTOPRIMARY));
  const Rect centred = CenteredInWorkArea(current, areas.workArea);
  Place(centred, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (revealOnCenter_) {
    // The first centring after an out-of-sight start brings the window into view.
    revealOnCenter_ = false;
    ::ShowWindow(hwnd_, iconic ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(hwnd_);
  }
}

void Win32DialogWindow::ShowWindow(int command) {
  if (hwnd_ == nullptr) return;
  switch (command) {
    case SW_SHOWMINNOACTIVE:
      // Before the first show this is the out-of-sight start.
      if (!shown_) revealOnCenter_ = true;
      break;
    case SW_SHOWNORMAL:
    case SW_SHOWMAXIMIZED: revealOnCenter_ = false; break;
    default: break;
  }
  shown_ = true;
  ::ShowWindow(hwnd_, command);
}

bool Win32DialogWindow::IsIconic() { return hwnd_ != nullptr && ::IsIconic(hwnd_); }

void Win32DialogWindow::SetCapture() {
  if (hwnd_ == nullptr) return;
  // The page asks for this on its "mousedown", which it can also post without
  // any click: capture only while the primary button is really down.
  const int primary = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
  if ((GetAsyncKeyState(primary) & 0x8000) == 0) return;
  ::SetCapture(hwnd_);
  capturing_ = GetCapture() == hwnd_;
}

void Win32DialogWindow::ReleaseCapture() {
  if (!capturing_) return;
  capturing_ = false;
  if (hwnd_ != nullptr && GetCapture() == hwnd_) ::ReleaseCapture();
}

Dpi Win32DialogWindow::GetScreenDpi() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return {};
  const int x = GetDeviceCaps(screen, LOGPIXELSX);
  const int y = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return {x > 0 ? static_cast<unsigned>(x) : 96u, y > 0 ? static_cast<unsigned>(y) : 96u};
}

}  // namespace tarnel::platform::win32
