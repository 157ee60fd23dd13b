#pragma once
// The dialog window: what the main window needs of the windowing system.
//
// Every operation runs on the UI thread. Results of window operations are not
// examined by callers, so most operations return nothing.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/geometry.h"
#include "platform/messages.h"
#include "platform/window_handle.h"

namespace tarnel::platform {

// Receives every message of the dialog window: the window's message map.
class IMessageTarget {
 public:
  virtual ~IMessageTarget() = default;
  // UI thread. WM_CREATE returns 0 or -1; WM_INITDIALOG returns TRUE.
  virtual LRESULT WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) = 0;
};

struct FileFilter {
  std::string name;     // "应用程序(*.exe)"
  std::string pattern;  // "*.exe"; "*.*" means every file
};

struct SaveDialogOptions {
  std::string defaultExtension;  // appended when the user types a name without one
  std::string initialName;
  bool overwritePrompt = true;
  std::vector<FileFilter> filters;
};

class IDialogWindow {
 public:
  virtual ~IDialogWindow() = default;

  // Creates the window and runs it modally: WM_CREATE reaches the target during
  // creation, WM_INITDIALOG before the loop runs, then the loop runs until
  // EndDialog. Returns the EndDialog result, or -1 when creation failed.
  virtual int DoModal(IMessageTarget& target) = 0;
  virtual void EndDialog(int result) = 0;

  // The handle for posting; null outside DoModal. Safe to keep on any thread.
  virtual std::shared_ptr<WindowHandle> Handle() = 0;

  virtual void SetWindowPos(int x, int y, int cx, int cy, unsigned flags) = 0;
  virtual void SetAppIcon() = 0;
  virtual void ShowWindow(int command) = 0;
  virtual bool IsIconic() = 0;
  virtual void SetWindowText(const std::string& text) = 0;
  virtual std::string GetWindowText() = 0;
  virtual Rect GetWindowRect() = 0;
  virtual Rect GetClientRect() = 0;
  virtual Point ClientToScreen(Point point) = 0;
  virtual void MoveWindow(const Rect& rect, bool repaint) = 0;
  virtual void SetCapture() = 0;
  virtual void ReleaseCapture() = 0;
  // Centres on the work area of the window's monitor (the primary one when it
  // lies on none), then pushes the window inside that work area.
  virtual void CenterWindow() = 0;
  // The screen's logical DPI, as a device context of the whole screen gives it.
  virtual Dpi GetScreenDpi() = 0;

  // Modal on the window; returns IDOK for the OK button and when closed.
  virtual int MessageBox(const std::string& text, const std::string& caption, unsigned type) = 0;
  // Modal save dialog; the chosen full path, or nothing when cancelled.
  virtual std::optional<std::string> ShowSaveDialog(const SaveDialogOptions& options) = 0;
};

}  // namespace tarnel::platform
