#pragma once
// The main window on GTK: an undecorated top-level GtkWindow that shows in
// the taskbar, runs modally in its own main loop and turns what happens to it
// into window messages for its IMessageTarget.
//
// UI thread only, except Handle()->PostMessage, which any thread may call.
//
// Geometry is in device pixels (logical pixels times the window's scale
// factor). What GTK reports about position and size is stale until the next
// configure event, so GetWindowRect/GetClientRect answer from the last
// configure event, and right after SetWindowPos/MoveWindow/CenterWindow,
// until the windowing system has answered, from what was asked
// (GeometryTracker).
//
// Start out of sight: before the first show, SetWindowPos moves the window
// off screen and ShowWindow(SW_SHOWMINNOACTIVE) iconifies it without focus.
// A window manager keeps it as a taskbar button; without one it is mapped off
// screen. The first CenterWindow after such a start centres, deiconifies and
// presents it, once WebKit has painted a picture of the page at the new size:
// the window comes into view covered by it until the view has painted the
// page itself (PagePicture, PageCover), so that its first frame on screen is
// the page, not a blank window (gtk_dialog_window_reveal.cpp).
#include <gtk/gtk.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "platform/dialog_window.h"
#include "platform/geometry_tracker.h"
#include "platform/gtk/page_cover.h"
#include "platform/gtk/page_picture.h"

namespace tarnel::platform::gtk {

class GtkDialogWindow final : public IDialogWindow {
 public:
  GtkDialogWindow() = default;
  ~GtkDialogWindow() override;
  GtkDialogWindow(const GtkDialogWindow&) = delete;
  GtkDialogWindow& operator=(const GtkDialogWindow&) = delete;

  int DoModal(IMessageTarget& target) override;
  void EndDialog(int result) override;
  std::shared_ptr<WindowHandle> Handle() override { return handle_; }

  void SetWindowPos(int x, int y, int cx, int cy, unsigned flags) override;
  void SetAppIcon() override;
  void ShowWindow(int command) override;
  bool IsIconic() override;
  void SetWindowText(const std::string& text) override;
  std::string GetWindowText() override { return title_; }
  Rect GetWindowRect() override;
  Rect GetClientRect() override;
  Point ClientToScreen(Point point) override;
  void MoveWindow(const Rect& rect, bool repaint) override;
  // Grabs the pointer for the window, only while the primary button is down.
  void SetCapture() override;
  void ReleaseCapture() override;
  void CenterWindow() override;
  Dpi GetScreenDpi() override;

  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  std::optional<std::string> ShowSaveDialog(const SaveDialogOptions& options) override;

  // The top-level window; null outside DoModal. For the browser, which puts
  // its view into it.
  GtkWindow* Widget() const { return window_ != nullptr ? GTK_WINDOW(window_) : nullptr; }
  // Makes `child` the window's only child, filling its client area.
  // False when there is no window or it already has a child.
  bool AttachChild(GtkWidget* child);

 private:
  using Clock = GeometryTracker::Clock;

  // Window creation and the end of the modal run (gtk_dialog_window.cpp).
  void CreateWindow();
  void DestroyWindow();
  int Scale() const;
  // Sends WM_SIZE with the size and the kind of the current show state, once
  // per change.
  void SendSize(int width, int height);

  static gboolean OnConfigure(GtkWidget* widget, GdkEventConfigure* event, gpointer self);
  static gboolean OnWindowState(GtkWidget* widget, GdkEventWindowState* event, gpointer self);
  static gboolean OnDelete(GtkWidget* widget, GdkEvent* event, gpointer self);
  static gboolean OnMotion(GtkWidget* widget, GdkEventMotion* event, gpointer self);
  static gboolean OnButtonRelease(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static gboolean OnGrabBroken(GtkWidget* widget, GdkEventGrabBroken* event, gpointer self);
  static void OnDestroy(GtkWidget* widget, gpointer self);

  // Geometry (gtk_dialog_window_geometry.cpp).
  void PlaceWindow(const Rect& rect, bool move, bool resize);
  Rect WorkAreaFor(const Rect& window);
  Point ToClient(double xRoot, double yRoot);
  // Shown, not iconified and on a monitor: dialogs can centre on it.
  bool IsInView();
  // The first show after an out-of-sight start (gtk_dialog_window_reveal.cpp):
  // at `target` once there is a picture of the page at its size; Reveal does
  // it at once.
  void RevealWhenPainted(const Rect& target);
  void Reveal(const Rect& target);
  // Carries out a reveal still waiting for the page, where it was headed.
  void RevealNow();
  bool RevealPending() const;
  // Drops whatever of the first show is still waiting, the cover included.
  void CancelReveal();

  GtkWidget* window_ = nullptr;
  std::shared_ptr<WindowHandle> handle_;
  GMainLoop* loop_ = nullptr;
  bool ended_ = false;
  int result_ = 0;

  GeometryTracker geometry_;
  std::string title_;
  bool shown_ = false;                          // the first show has happened
  bool iconifyOnShow_ = false;                  // iconified before the first show
  bool revealOnCenter_ = false;                 // the first CenterWindow brings the window into view
  std::unique_ptr<PagePicture> revealPicture_;  // that first show, waiting for a picture of the page
  std::unique_ptr<PageCover> pageCover_;        // the picture over the window until the page paints
  Rect revealTarget_;
  bool capturing_ = false;
  GdkWindowState state_ = static_cast<GdkWindowState>(0);

  // The last WM_SIZE sent, to send one per change.
  bool sizeSent_ = false;
  unsigned sentKind_ = 0;
  int sentWidth_ = 0;
  int sentHeight_ = 0;
};

}  // namespace tarnel::platform::gtk
