// Window behaviour: the page's window commands and the drag.
#include "bridge/notifications.h"
#include "bridge/page_message.h"
#include "bridge/protocol.h"
#include "platform/text.h"
#include "window/tarnel_dlg.h"
#include "window/window_math.h"

namespace tarnel::window {

using namespace platform;
using nlohmann::json;

void CTarnelDlg::OnResizeWindow(json& data) {
  // Every read comes before any change, so a bad member changes nothing.
  const unsigned width = data.contains("width") ? static_cast<unsigned>(bridge::ReadInt(data, "width")) : m_nDefWidth;
  const unsigned height =
      data.contains("height") ? static_cast<unsigned>(bridge::ReadInt(data, "height")) : m_nDefHeight;
  std::optional<std::string> windowText;
  if (data.contains("window_text")) windowText = bridge::ReadString(data, "window_text");

  if (windowText) m_platform.window.SetWindowText(Utf8ToAnsi(*windowText));
  const Dpi dpi = m_platform.window.GetScreenDpi();
  const int cx = ScaleForDpi(static_cast<int>(width), dpi.x);
  const int cy = ScaleForDpi(static_cast<int>(height), dpi.y);
  m_platform.window.SetWindowPos(0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER);
  // Centring brings the window from off screen into view.
  m_platform.window.CenterWindow();
  ReportEvent(std::string(protocol::kEventWindowSized));
}

void CTarnelDlg::OnClose(json& data) {
  const bool forceClose = bridge::ReadBool(data, "force_close");
  if (m_nDnldState == 1 && !forceClose) SendToPage(bridge::MakeCloseNotification());
  EndDialog(IDOK);
}

void CTarnelDlg::OnMouseCommand(std::uint32_t message, json& data, bool armDrag) {
  const int x = bridge::ReadInt(data, "x");
  const int y = bridge::ReadInt(data, "y");
  if (armDrag) m_bDragging = true;
  if (auto hwnd = GetSafeHwnd()) hwnd->PostMessage(message, 0, MakeMouseLParam(x, y));
}

void CTarnelDlg::OnLButtonDown(unsigned, Point point) {
  const Point screen = m_platform.window.ClientToScreen(point);
  if (m_bDragging) {
    m_platform.window.SetCapture();
    m_ptDragLast = screen;
  }
}

void CTarnelDlg::OnMouseMove(unsigned, Point point) {
  const Point screen = m_platform.window.ClientToScreen(point);
  if (!m_bDragging) return;
  const Rect rect = m_platform.window.GetWindowRect();
  const int left = rect.left + (screen.x - m_ptDragLast.x);
  const int top = rect.top + (screen.y - m_ptDragLast.y);
  m_platform.window.MoveWindow(Rect{left, top, left + rect.Width(), top + rect.Height()}, false);
  m_ptDragLast = screen;
}

void CTarnelDlg::OnLButtonUp(unsigned, Point point) {
  m_platform.window.ClientToScreen(point);
  if (m_bDragging) {
    m_platform.window.ReleaseCapture();
    m_bDragging = false;
  }
}

}  // namespace tarnel::window
