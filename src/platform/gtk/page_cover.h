#pragma once
// Covers a top-level window with a picture of its page until the web view
// has painted the page itself at its size.
//
// Under a window manager the window comes into view from an iconified start,
// in which WebKit rendered nothing: its first frames would be blank. With the
// picture as the window's X background and drawn over everything the window
// draws, its first frame on screen and every one after is the page; once the
// view has painted (PaintGate) the cover goes and the view shows through.
// Clicks and keys reach the page meanwhile; lifting the cover for them would
// show a blank view until that paint.
//
// UI thread only; X11 only for the background.
#include <gtk/gtk.h>

#include <chrono>
#include <memory>

#include "platform/gtk/glib_handles.h"
#include "platform/gtk/page_picture.h"
#include "platform/gtk/paint_gate.h"

namespace tarnel::platform::gtk {

class PageCover {
 public:
  // `view` is the window's web view, `width` x `height` its size in logical
  // pixels; `limit` bounds how long the cover stays.
  PageCover(GtkWidget* window, GtkWidget* view, CairoSurfacePtr picture, int width, int height,
            std::chrono::milliseconds limit);
  ~PageCover();
  PageCover(const PageCover&) = delete;
  PageCover& operator=(const PageCover&) = delete;

  bool Covering() const { return picture_ != nullptr; }

 private:
  void Lift();
  static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);

  GObjectPtr<GtkWidget> window_;
  CairoSurfacePtr picture_;
  SignalConnection drawSignal_;
  std::unique_ptr<PaintGate> gate_;
};

}  // namespace tarnel::platform::gtk
