// The first show of the main window after its out-of-sight start.
//
// Without a window manager the window is mapped off screen, where WebKit
// renders normally: the page paints at its size first, and the window comes
// on screen with that content as its X background, so that its first frame
// is the page, never an unpainted window. A window manager would pull a
// deiconified off-screen window back on screen where it is, and WebKit does
// not render an iconified one: there the window is shown at once.
#include <gdk/gdkx.h>

#include "platform/gtk/content_background.h"
#include "platform/gtk/gtk_dialog_window.h"

namespace tarnel::platform::gtk {
namespace {

// A page that takes longer to paint than this is shown as it is.
constexpr std::chrono::milliseconds kLongestWait{5000};

}  // namespace

bool GtkDialogWindow::HasWindowManager() const {
  GdkScreen* screen = gtk_widget_get_screen(window_);
  return GDK_IS_X11_SCREEN(screen) && g_strcmp0(gdk_x11_screen_get_window_manager_name(screen), "unknown") != 0;
}

void GtkDialogWindow::RevealWhenPainted(const Rect& target) {
  GtkWidget* child = gtk_bin_get_child(GTK_BIN(window_));
  if (child == nullptr || !shown_ || HasWindowManager()) {
    Reveal(target);
    return;
  }
  revealTarget_ = target;
  gtk_window_deiconify(GTK_WINDOW(window_));  // still off screen
  const int scale = Scale();
  revealGate_ = std::make_unique<PaintGate>(child, target.Width() / scale, target.Height() / scale, kLongestWait,
                                            [this] { RevealNow(); });
}

void GtkDialogWindow::RevealNow() {
  if (!revealGate_) return;
  revealGate_.reset();
  Reveal(revealTarget_);
}

void GtkDialogWindow::Reveal(const Rect& target) {
  // What was drawn out of sight shows from the window's first frame on screen.
  if (shown_ && !HasWindowManager()) HoldContentAsBackground(window_);
  PlaceWindow(target, true, false);
  iconifyOnShow_ = false;
  GtkWindow* window = GTK_WINDOW(window_);
  gtk_window_set_focus_on_map(window, TRUE);
  gtk_window_deiconify(window);
  if (shown_) gtk_window_present(window);
}

}  // namespace tarnel::platform::gtk
