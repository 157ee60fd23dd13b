#include "platform/gtk/page_cover.h"

#include <utility>

#include "platform/gtk/content_background.h"

namespace tarnel::platform::gtk {

PageCover::PageCover(GtkWidget* window, GtkWidget* view, CairoSurfacePtr picture, int width, int height,
                     std::chrono::milliseconds limit)
    : window_(GTK_WIDGET(g_object_ref(window))), picture_(std::move(picture)) {
  if (!picture_) return;
  HoldPictureAsBackground(window_.get(), picture_.get());
  drawSignal_ =
      SignalConnection(window_.get(), g_signal_connect_after(window_.get(), "draw", G_CALLBACK(OnDraw), this));
  gate_ = std::make_unique<PaintGate>(view, width, height, limit, [this] { Lift(); });
}

PageCover::~PageCover() {
  gate_.reset();
  if (picture_) Lift();
}

void PageCover::Lift() {
  drawSignal_.Disconnect();
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

}  // namespace tarnel::platform::gtk
