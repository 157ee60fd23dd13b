#pragma once
// Tells when a web view has painted a frame of its page at a given size, so
// that what stands in for the page until then (PageCover) can go.
//
// The steps: the view's allocation reaches the size; the page runs four
// animation frames (by the second a frame at that size was rendered, and
// WebKit renders the next only once the view has shown it); the view draws
// once more after that. A time limit ends the wait anyway, so a stalled page
// or a view that cannot draw never keeps the page from showing.
//
// UI thread only. `done` runs at most once, later on the main loop, never
// inside the constructor; destroying the gate first means it never runs.
#include <gtk/gtk.h>

#include <chrono>
#include <functional>

#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {

class PaintGate {
 public:
  PaintGate(GtkWidget* view, int width, int height, std::chrono::milliseconds limit, std::function<void()> done);
  ~PaintGate();
  PaintGate(const PaintGate&) = delete;
  PaintGate& operator=(const PaintGate&) = delete;

 private:
  enum class Step { kSize, kFrames, kDraw };
  struct FramesCall;

  void CheckSize();
  void RunFrames();
  // Ends the wait and runs `done`; the gate may be destroyed by it.
  void Open();

  static void OnSizeAllocate(GtkWidget* widget, GdkRectangle* allocation, gpointer self);
  static gboolean OnDraw(GtkWidget* widget, cairo_t* cr, gpointer self);
  static void OnFramesRun(GObject* source, GAsyncResult* result, gpointer call);
  static gboolean OnLimit(gpointer self);

  GObjectPtr<GtkWidget> view_;  // held, so that signals can always be disconnected
  int width_;
  int height_;
  Step step_ = Step::kSize;
  std::function<void()> done_;
  SignalConnection sizeSignal_;
  SignalConnection drawSignal_;
  GObjectPtr<GCancellable> cancellable_;
  guint limitSource_ = 0;
};

}  // namespace tarnel::platform::gtk
