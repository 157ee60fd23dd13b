#pragma once
// The main window on Windows: a borderless top-level popup with a taskbar
// button, run modally in its own message loop, passing what happens to it to
// its IMessageTarget as window messages.
//
// UI thread only (the thread that calls DoModal), except
// Handle()->PostMessage, which any thread may call: posts travel through a
// TaskQueue woken by a private message, so they run in posting order on the
// window's thread; at the end of the run the queue is closed and what is
// still queued is freed without running.
//
// Start out of sight: before the first show, SetWindowPos moves the window
// off screen and ShowWindow(SW_SHOWMINNOACTIVE) shows it minimised without
// the focus (a taskbar button only). The first CenterWindow after such a
// start restores, centres and activates it. While the window is minimised,
// placement changes apply to its restored position.
#include <memory>
#include <optional>
#include <string>

#include "platform/win32/windows_api.h"

#include "platform/dialog_window.h"
#include "platform/win32/task_queue.h"

namespace tarnel::platform::win32 {

// The private message that wakes a window's task queue.
inline constexpr UINT kRunTaskMessage = WM_APP + 1;

class Win32DialogWindow final : public IDialogWindow {
 public:
  Win32DialogWindow() = default;
  ~Win32DialogWindow() override;
  Win32DialogWindow(const Win32DialogWindow&) = delete;
  Win32DialogWindow& operator=(const Win32DialogWindow&) = delete;

  int DoModal(IMessageTarget& target) override;
  void EndDialog(int result) override;
  std::shared_ptr<WindowHandle> Handle() override { return handle_; }

  void SetWindowPos(int x, int y, int cx, int cy, unsigned flags) override;
  void SetAppIcon() override;
  void ShowWindow(int command) override;
  bool IsIconic() override;
  void SetWindowText(const std::string& text) override;
  std::string GetWindowText() override;
  Rect GetWindowRect() override;
  Rect GetClientRect() override;
  Point ClientToScreen(Point point) override;
  void MoveWindow(const Rect& rect, bool repaint) override;
  // Captures the mouse only while the primary button is down.
  void SetCapture() override;
  void ReleaseCapture() override;
  void CenterWindow() override;
  Dpi GetScreenDpi() override;

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  std::optional<std::string> ShowSaveDialog(const SaveDialogOptions& options) override;

  // The top-level window; null outside DoModal. The browser makes its view a
  // child of it; the target's WM_SIZE handler keeps that child's bounds.
  HWND hwnd() const { return hwnd_; }

 private:
  static LRESULT CALLBACK WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  // Sends to the target through the handle; 0 once the handle is gone.
  LRESULT Send(std::uint32_t message, WPARAM wParam, LPARAM lParam);
  void Attach(HWND hwnd);
  void Detach();
  void DestroyWindow();

  // Geometry (win32_dialog_window_geometry.cpp).
  void Place(const Rect& rect, UINT flags);
  Rect RestoredRect();

  HWND hwnd_ = nullptr;
  IMessageTarget* target_ = nullptr;
  std::shared_ptr<WindowHandle> handle_;
  std::shared_ptr<TaskQueue> queue_;
  bool ended_ = false;
  int result_ = 0;
  bool shown_ = false;           // the window has been made visible
  bool revealOnCenter_ = false;  // the first CenterWindow brings the window into view
  bool capturing_ = false;
};

}  // namespace tarnel::platform::win32
