// Placement, show state, capture and screen metrics of the main window.
#include <algorithm>
#include <cmath>
#include <vector>

#include "platform/gtk/gtk_dialog_window.h"
#include "platform/window_placement.h"

namespace tarnel::platform::gtk {
namespace {

// Device pixels to logical ones, rounding towards negative infinity so that
// off-screen coordinates keep their side.
int ToLogical(int device, int scale) { return device >= 0 ? device / scale : -((-device + scale - 1) / scale); }

Rect Scaled(const GdkRectangle& r, int scale) {
  return {r.x * scale, r.y * scale, (r.x + r.width) * scale, (r.y + r.height) * scale};
}

std::vector<Rect> MonitorRects(GdkDisplay* display, int scale) {
  std::vector<Rect> monitors;
  const int count = gdk_display_get_n_monitors(display);
  for (int i = 0; i < count; ++i) {
    GdkRectangle geometry;
    gdk_monitor_get_geometry(gdk_display_get_monitor(display, i), &geometry);
    monitors.push_back(Scaled(geometry, scale));
  }
  return monitors;
}

}  // namespace

void GtkDialogWindow::SetWindowPos(int x, int y, int cx, int cy, unsigned flags) {
  if (window_ == nullptr) return;
  if ((flags & SWP_NOMOVE) == 0) RevealNow();  // a placement of its own ends the wait
  // The z order is the window manager's; SWP_NOZORDER or not changes nothing.
  const bool move = (flags & SWP_NOMOVE) == 0;
  const bool resize = (flags & SWP_NOSIZE) == 0;
  Rect next = geometry_.Current(Clock::now());
  if (move) next = {x, y, x + next.Width(), y + next.Height()};
  if (resize) next = {next.left, next.top, next.left + cx, next.top + cy};
  PlaceWindow(next, move, resize);
}

void GtkDialogWindow::MoveWindow(const Rect& rect, bool) {
  if (window_ == nullptr) return;
  RevealNow();
  // GTK repaints when it needs to; the repaint flag has nothing to steer.
  const Rect current = geometry_.Current(Clock::now());
  PlaceWindow(rect, true, rect.Width() != current.Width() || rect.Height() != current.Height());
}

void GtkDialogWindow::PlaceWindow(const Rect& asked, bool move, bool resize) {
  const int scale = Scale();
  Rect rect = asked;
  // A window is at least one logical pixel wide and high.
  rect.right = rect.left + std::max(rect.Width(), scale);
  rect.bottom = rect.top + std::max(rect.Height(), scale);
  GtkWindow* window = GTK_WINDOW(window_);
  if (move) gtk_window_move(window, ToLogical(rect.left, scale), ToLogical(rect.top, scale));
  if (resize) gtk_window_resize(window, rect.Width() / scale, rect.Height() / scale);
  geometry_.Requested(rect, Clock::now());
  if (resize) SendSize(rect.Width(), rect.Height());
}

Rect GtkDialogWindow::GetWindowRect() {
  if (window_ == nullptr) return {};
  return geometry_.Current(Clock::now());
}

Rect GtkDialogWindow::GetClientRect() {
  // No frame: the client area is the whole window.
  const Rect window = GetWindowRect();
  return {0, 0, window.Width(), window.Height()};
}

Point GtkDialogWindow::ClientToScreen(Point point) {
  const Rect window = GetWindowRect();
  return {window.left + point.x, window.top + point.y};
}

Point GtkDialogWindow::ToClient(double xRoot, double yRoot) {
  // From the pointer's root position, so that ClientToScreen gives back the
  // real pointer position even while a move has not been carried out yet.
  const int scale = Scale();
  const Rect window = GetWindowRect();
  return {static_cast<int>(std::lround(xRoot * scale)) - window.left,
          static_cast<int>(std::lround(yRoot * scale)) - window.top};
}

Rect GtkDialogWindow::WorkAreaFor(const Rect& window) {
  GdkDisplay* display = gdk_display_get_default();
  const int scale = Scale();
  const std::vector<Rect> monitors = MonitorRects(display, scale);
  if (monitors.empty()) return window;
  int primary = 0;
  for (int i = 0; i < static_cast<int>(monitors.size()); ++i) {
    if (gdk_display_get_monitor(display, i) == gdk_display_get_primary_monitor(display)) primary = i;
  }
  GdkRectangle workArea;
  gdk_monitor_get_workarea(gdk_display_get_monitor(display, MonitorForWindow(window, monitors, primary)), &workArea);
  return Scaled(workArea, scale);
}

bool GtkDialogWindow::IsInView() {
  if (window_ == nullptr || !shown_ || IsIconic()) return false;
  return MonitorForWindow(GetWindowRect(), MonitorRects(gdk_display_get_default(), Scale()), -1) >= 0;
}

void GtkDialogWindow::CenterWindow() {
  if (window_ == nullptr) return;
  const Rect current = geometry_.Current(Clock::now());
  const Rect centred = CenteredInWorkArea(current, WorkAreaFor(current));
  if (revealOnCenter_ || RevealPending()) {
    // The first centring after an out-of-sight start brings the window into view.
    revealOnCenter_ = false;
    RevealWhenPainted(centred);
    return;
  }
  PlaceWindow(centred, true, false);
}

void GtkDialogWindow::ShowWindow(int command) {
  if (window_ == nullptr) return;
  GtkWindow* window = GTK_WINDOW(window_);
  switch (command) {
    case SW_SHOWMINNOACTIVE:
      // Before the first show this is the out-of-sight start: iconified from
      // the moment it is mapped, without taking the focus.
      if (!shown_) {
        gtk_window_set_focus_on_map(window, FALSE);
        revealOnCenter_ = true;
      }
      iconifyOnShow_ = !shown_;
      gtk_window_iconify(window);
      break;
    case SW_SHOWMINIMIZED:
      iconifyOnShow_ = !shown_;
      gtk_window_iconify(window);
      break;
    case SW_SHOWMAXIMIZED:
    case SW_SHOWNORMAL:
      RevealNow();
      revealOnCenter_ = false;
      iconifyOnShow_ = false;
      gtk_window_set_focus_on_map(window, TRUE);
      if (command == SW_SHOWMAXIMIZED) {
        gtk_window_maximize(window);
      } else {
        gtk_window_unmaximize(window);
      }
      gtk_window_deiconify(window);
      if (shown_) gtk_window_present(window);
      break;
    default: break;
  }
}

bool GtkDialogWindow::IsIconic() {
  if (window_ == nullptr) return false;
  if (!shown_) return iconifyOnShow_;
  return (state_ & GDK_WINDOW_STATE_ICONIFIED) != 0;
}

void GtkDialogWindow::SetCapture() {
  if (window_ == nullptr) return;
  GdkWindow* gdkWindow = gtk_widget_get_window(window_);
  if (gdkWindow == nullptr || !gdk_window_is_viewable(gdkWindow)) return;
  GdkSeat* seat = gdk_display_get_default_seat(gdk_window_get_display(gdkWindow));
  // The page asks for this on its "mousedown", which it can also post without
  // any click: grab only while the primary button is really down (asked of
  // the X server now, not taken from an event).
  GdkDevice* pointer = gdk_seat_get_pointer(seat);
  GdkModifierType buttons = static_cast<GdkModifierType>(0);
  if (pointer != nullptr) gdk_device_get_state(pointer, gdkWindow, nullptr, &buttons);
  if ((buttons & GDK_BUTTON1_MASK) == 0) return;
  // All pointer events go to the top-level while the grab lasts, also over
  // the web view and outside the window.
  capturing_ = gdk_seat_grab(seat, gdkWindow, GDK_SEAT_CAPABILITY_ALL_POINTING, FALSE, nullptr, nullptr, nullptr,
                             nullptr) == GDK_GRAB_SUCCESS;
}

void GtkDialogWindow::ReleaseCapture() {
  if (!capturing_) return;
  capturing_ = false;
  gdk_seat_ungrab(gdk_display_get_default_seat(gdk_display_get_default()));
}

Dpi GtkDialogWindow::GetScreenDpi() {
  GdkScreen* screen = window_ != nullptr ? gtk_widget_get_screen(window_) : gdk_screen_get_default();
  double resolution = screen != nullptr ? gdk_screen_get_resolution(screen) : -1.0;
  if (resolution <= 0) resolution = 96.0;
  const auto dpi = static_cast<unsigned>(std::lround(resolution * Scale()));
  return {dpi, dpi};
}

bool GtkDialogWindow::AttachChild(GtkWidget* child) {
  if (window_ == nullptr || gtk_bin_get_child(GTK_BIN(window_)) != nullptr) return false;
  gtk_container_add(GTK_CONTAINER(window_), child);
  gtk_widget_show(child);
  gtk_widget_grab_focus(child);  // keys go to the page
  return true;
}

}  // namespace tarnel::platform::gtk
