#include "platform/gtk/page_cover.h"

#include <utility>

#include "platform/gtk/content_background.h"

namespace tarnel::platform::gtk {

PageCover::PageCover(GtkWidget* window, GtkWidget* view, CairoSurfacePtr picture, int width, int height,
                     std::chrono::milliseconds limit)
    : window_(GTK_WIDGET(g_object_ref(window))), view_(GTK_WIDGET(g_object_ref(view))), picture_(std::move(picture)) {
  if (!picture_) return;
  HoldPictureAsBackground(window_.get(), picture_.get());
  drawSignal_ =
      SignalConnection(window_.get(), g_signal_connect_after(window_.get(), "draw", G_CALLBACK(OnDraw), this));
  // Before the view's own handlers, which keep the clicks they take.
  buttonSignal_ = Connect(view_.get(), "button-press-event", OnInput, this);
  keySignal_ = Connect(window_.get(), "key-press-event", OnInput, this);
  gate_ = std::make_unique<PaintGate>(view, width, height, limit, [this] { Lift(); });
}

PageCover::~PageCover() {
  gate_.reset();
  if (picture_) Lift();
}

void PageCover::Lift() {
  drawSignal_.Disconnect();
  buttonSignal_.Disconnect();
  keySignal_.Disconnect();
  picture_.reset();
  gtk_widget_queue_draw(window_.get());
}

gboolean PageCover::OnDraw(GtkWidget*, cairo_t* cr, gpointer self) {
  auto* cover = static_cast<PageCover*>(self);
  if (!cover->picture_) return FALSE;
  // WebKit's picture carries the device scale: it maps onto logical pixels.
  cairo_save(cr);
  cairo_set_source_surface(cr, cover->picture_.get(), 0, 0);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_restore(cr);
  return FALSE;
}

gboolean PageCover::OnInput(GtkWidget*, GdkEvent*, gpointer self) {
  auto* cover = static_cast<PageCover*>(self);
  if (cover->picture_) cover->Lift();
  return FALSE;  // the event goes on to the page
}

}  // namespace tarnel::platform::gtk
