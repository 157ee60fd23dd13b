#pragma once
// Takes a picture of a web view's page at a given size, also while its window
// is iconified, when WebKit renders nothing to the screen: the web process
// paints the page into the picture on its own.
//
// The steps: the view's allocation reaches the size (so the page lays out at
// it); then WebKit is asked for a snapshot of the visible area. A time limit
// ends the wait with no picture.
//
// UI thread only. `done` runs at most once, later on the main loop, never
// inside the constructor; destroying the taker first means it never runs.
#include <cairo.h>
#include <gtk/gtk.h>

#include <chrono>
#include <functional>
#include <memory>

#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {

struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

class PagePicture {
 public:
  // `done` gets the picture, or null when none came within `limit` or the
  // view is not a web view. The picture's device scale maps it onto `width` x
  // `height` logical pixels.
  PagePicture(GtkWidget* view, int width, int height, std::chrono::milliseconds limit,
              std::function<void(CairoSurfacePtr)> done);
  ~PagePicture();
  PagePicture(const PagePicture&) = delete;
  PagePicture& operator=(const PagePicture&) = delete;

 private:
  struct SnapshotCall;

  void CheckSize();
  void Finish(CairoSurfacePtr picture);

  static void OnSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
  static void OnSnapshot(GObject* source, GAsyncResult* result, gpointer call);
  static gboolean OnLimit(gpointer self);
  static gboolean OnStart(gpointer self);

  GObjectPtr<GtkWidget> view_;
  int width_;
  int height_;
  bool asked_ = false;
  std::function<void(CairoSurfacePtr)> done_;
  SignalConnection sizeSignal_;
  GObjectPtr<GCancellable> cancellable_;
  guint limitSource_ = 0;
  guint startSource_ = 0;
};

}  // namespace tarnel::platform::gtk
