#include "platform/gtk/page_picture.h"

#include <webkit2/webkit2.h>

#include <utility>

namespace tarnel::platform::gtk {

// What the snapshot's completion needs: the taker, unless the call was
// cancelled because the taker is gone.
struct PagePicture::SnapshotCall {
  PagePicture* taker;
  GObjectPtr<GCancellable> cancellable;
};

PagePicture::PagePicture(GtkWidget* view, int width, int height, std::chrono::milliseconds limit,
                         std::function<void(CairoSurfacePtr)> done)
    : view_(GTK_WIDGET(g_object_ref(view))),
      width_(width),
      height_(height),
      done_(std::move(done)),
      cancellable_(g_cancellable_new()) {
  limitSource_ = g_timeout_add(static_cast<guint>(limit.count()), OnLimit, this);
  // Never inside the constructor, even when the view is already at its size.
  startSource_ = g_idle_add(OnStart, this);
}

PagePicture::~PagePicture() {
  g_cancellable_cancel(cancellable_.get());
  if (limitSource_ != 0) g_source_remove(limitSource_);
  if (startSource_ != 0) g_source_remove(startSource_);
}

void PagePicture::CheckSize() {
  if (asked_) return;
  GtkAllocation allocation;
  gtk_widget_get_allocation(view_.get(), &allocation);
  if (allocation.width != width_ || allocation.height != height_) return;
  asked_ = true;
  sizeSignal_.Disconnect();
  auto* call = new SnapshotCall{this, GObjectPtr<GCancellable>(G_CANCELLABLE(g_object_ref(cancellable_.get())))};
  webkit_web_view_get_snapshot(WEBKIT_WEB_VIEW(view_.get()), WEBKIT_SNAPSHOT_REGION_VISIBLE,
                               WEBKIT_SNAPSHOT_OPTIONS_NONE, cancellable_.get(), OnSnapshot, call);
}

void PagePicture::Finish(CairoSurfacePtr picture) {
  sizeSignal_.Disconnect();
  if (limitSource_ != 0) {
    g_source_remove(limitSource_);
    limitSource_ = 0;
  }
  g_cancellable_cancel(cancellable_.get());
  std::function<void(CairoSurfacePtr)> done = std::move(done_);
  done_ = nullptr;
  if (done) done(std::move(picture));  // may destroy this taker: nothing of it is used after
}

gboolean PagePicture::OnStart(gpointer self) {
  auto* taker = static_cast<PagePicture*>(self);
  taker->startSource_ = 0;
  if (!WEBKIT_IS_WEB_VIEW(taker->view_.get())) {
    taker->Finish(nullptr);
    return G_SOURCE_REMOVE;
  }
  taker->sizeSignal_ = Connect(taker->view_.get(), "size-allocate", OnSizeAllocate, taker);
  GtkWidget* view = taker->view_.get();
  GtkAllocation allocation;
  gtk_widget_get_allocation(view, &allocation);
  if (allocation.width != taker->width_ || allocation.height != taker->height_) {
    // An iconified window gets no allocation from the window manager: the
    // view is laid out at the size here, as it will be once in view.
    gtk_widget_get_preferred_size(view, nullptr, nullptr);
    GtkAllocation wanted{0, 0, taker->width_, taker->height_};
    gtk_widget_size_allocate(view, &wanted);
  }
  taker->CheckSize();
  return G_SOURCE_REMOVE;
}

void PagePicture::OnSizeAllocate(GtkWidget*, GdkRectangle*, gpointer self) {
  static_cast<PagePicture*>(self)->CheckSize();
}

void PagePicture::OnSnapshot(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<SnapshotCall> call(static_cast<SnapshotCall*>(data));
  GError* error = nullptr;
  CairoSurfacePtr picture(webkit_web_view_get_snapshot_finish(WEBKIT_WEB_VIEW(source), result, &error));
  const GErrorPtr owned(error);
  if (g_cancellable_is_cancelled(call->cancellable.get())) return;  // the taker is gone or done
  PagePicture* taker = call->taker;
  if (picture && cairo_surface_get_type(picture.get()) == CAIRO_SURFACE_TYPE_IMAGE) {
    // The picture stands for the view's logical size: at a window scale
    // above 1 it has more pixels than that, whatever scale WebKit gave it.
    const int pixelsWide = cairo_image_surface_get_width(picture.get());
    const int pixelsHigh = cairo_image_surface_get_height(picture.get());
    if (pixelsWide > 0 && pixelsHigh > 0) {
      cairo_surface_set_device_scale(picture.get(), static_cast<double>(pixelsWide) / taker->width_,
                                     static_cast<double>(pixelsHigh) / taker->height_);
    }
  }
  taker->Finish(std::move(picture));
}

gboolean PagePicture::OnLimit(gpointer self) {
  auto* taker = static_cast<PagePicture*>(self);
  taker->limitSource_ = 0;
  taker->Finish(nullptr);
  return G_SOURCE_REMOVE;
}

}  // namespace tarnel::platform::gtk
