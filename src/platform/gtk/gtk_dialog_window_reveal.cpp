// The first show of the main window after its out-of-sight start.
//
// Out of sight (iconified under a window manager, off screen without one)
// WebKit shows nothing of the page, and once in view it takes a while to
// paint it: the window would come on screen blank. So WebKit first paints a
// picture of the page at the window's new size, and the window comes into
// view with that picture as its X background and drawn over it until the
// view has painted the page itself (PagePicture, PageCover): its first frame
// on screen is the page, never an unpainted window.
#include <gdk/gdkx.h>

#include "platform/gtk/gtk_dialog_window.h"

namespace tarnel::platform::gtk {
namespace {

// A page that has no picture by then is shown as it is.
constexpr std::chrono::milliseconds kLongestWait{5000};
// The view painting the page itself, once in view, takes no longer than this
// even on a slow or busy machine (a sanitizer build at a window scale of 2
// took over 3 s); the picture shows the page meanwhile, so erring long costs
// nothing while lifting it early shows an empty window.
constexpr std::chrono::milliseconds kLongestCover{10000};

}  // namespace

void GtkDialogWindow::RevealWhenPainted(const Rect& target) {
  GtkWidget* child = gtk_bin_get_child(GTK_BIN(window_));
  revealPicture_.reset();
  if (child == nullptr || !shown_) {
    Reveal(target);
    return;
  }
  revealTarget_ = target;
  const int scale = Scale();
  const int width = target.Width() / scale;
  const int height = target.Height() / scale;
  revealPicture_ = std::make_unique<PagePicture>(
      child, width, height, kLongestWait, [this, child, width, height](CairoSurfacePtr picture) {
        revealPicture_.reset();
        pageCover_ = std::make_unique<PageCover>(window_, child, std::move(picture), width, height, kLongestCover);
        Reveal(revealTarget_);
      });
}

bool GtkDialogWindow::RevealPending() const { return revealPicture_ != nullptr; }

void GtkDialogWindow::CancelReveal() {
  revealPicture_.reset();
  pageCover_.reset();
}

void GtkDialogWindow::RevealNow() {
  if (!RevealPending()) return;
  revealPicture_.reset();
  Reveal(revealTarget_);
}

void GtkDialogWindow::Reveal(const Rect& target) {
  PlaceWindow(target, true, false);
  GtkWindow* window = GTK_WINDOW(window_);
  if (pageCover_ && pageCover_->Covering()) {
    // GTK still knows the window at the size it last heard of and would have
    // it mapped at that size first: it comes into view at its final one.
    const int scale = Scale();
    gdk_window_move_resize(gtk_widget_get_window(window_), target.left / scale, target.top / scale,
                           target.Width() / scale, target.Height() / scale);
  }
  iconifyOnShow_ = false;
  gtk_window_set_focus_on_map(window, TRUE);
  gtk_window_deiconify(window);
  if (shown_) gtk_window_present(window);
}

}  // namespace tarnel::platform::gtk
