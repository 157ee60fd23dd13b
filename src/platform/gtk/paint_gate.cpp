#include "platform/gtk/paint_gate.h"

#include <webkit2/webkit2.h>

#include <utility>

namespace tarnel::platform::gtk {
namespace {

// Resolves after the fourth animation frame from now: the second renders a
// frame at the view's size, and WebKit starts rendering a frame only once the
// view has shown the one before, so by the fourth that frame has reached the
// view. Run in a script world of its own, so the page neither sees nor
// disturbs it.
constexpr char kFrames[] =
    "return new Promise(resolve => { let left = 4; const next = () => --left > 0 ? requestAnimationFrame(next) : "
    "resolve(true); requestAnimationFrame(next); });";
constexpr char kWorld[] = "tarnel-paint-gate";

}  // namespace

// What the script's completion needs: the gate, unless the call was cancelled
// because the gate is gone.
struct PaintGate::FramesCall {
  PaintGate* gate;
  GObjectPtr<GCancellable> cancellable;
};

PaintGate::PaintGate(GtkWidget* view, int width, int height, std::chrono::milliseconds limit,
                     std::function<void()> done)
    : view_(GTK_WIDGET(g_object_ref(view))),
      width_(width),
      height_(height),
      done_(std::move(done)),
      cancellable_(g_cancellable_new()) {
  limitSource_ = g_timeout_add(static_cast<guint>(limit.count()), OnLimit, this);
  sizeSignal_ = Connect(view_.get(), "size-allocate", OnSizeAllocate, this);
  drawSignal_ = SignalConnection(view_.get(), g_signal_connect_after(view_.get(), "draw", G_CALLBACK(OnDraw), this));
  CheckSize();
}

PaintGate::~PaintGate() {
  g_cancellable_cancel(cancellable_.get());
  if (limitSource_ != 0) g_source_remove(limitSource_);
}

void PaintGate::CheckSize() {
  if (step_ != Step::kSize) return;
  GtkAllocation allocation;
  gtk_widget_get_allocation(view_.get(), &allocation);
  if (allocation.width != width_ || allocation.height != height_) return;
  step_ = Step::kFrames;
  sizeSignal_.Disconnect();
  RunFrames();
}

void PaintGate::RunFrames() {
  if (!WEBKIT_IS_WEB_VIEW(view_.get())) {
    // Nothing renders on its own: the next draw shows it at its size.
    step_ = Step::kDraw;
    gtk_widget_queue_draw(view_.get());
    return;
  }
  auto* call = new FramesCall{this, GObjectPtr<GCancellable>(G_CANCELLABLE(g_object_ref(cancellable_.get())))};
  webkit_web_view_call_async_javascript_function(WEBKIT_WEB_VIEW(view_.get()), kFrames, -1, nullptr, kWorld, nullptr,
                                                 cancellable_.get(), OnFramesRun, call);
}

void PaintGate::Open() {
  sizeSignal_.Disconnect();
  drawSignal_.Disconnect();
  if (limitSource_ != 0) {
    g_source_remove(limitSource_);
    limitSource_ = 0;
  }
  std::function<void()> done = std::move(done_);
  done_ = nullptr;
  if (done) done();  // may destroy this gate: nothing of it is used after
}

void PaintGate::OnSizeAllocate(GtkWidget*, GdkRectangle*, gpointer self) { static_cast<PaintGate*>(self)->CheckSize(); }

gboolean PaintGate::OnDraw(GtkWidget*, cairo_t*, gpointer self) {
  auto* gate = static_cast<PaintGate*>(self);
  if (gate->step_ == Step::kDraw) {
    gate->Open();
  }
  return FALSE;
}

void PaintGate::OnFramesRun(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<FramesCall> call(static_cast<FramesCall*>(data));
  GError* error = nullptr;
  const GObjectPtr<JSCValue> value(
      webkit_web_view_call_async_javascript_function_finish(WEBKIT_WEB_VIEW(source), result, &error));
  const GErrorPtr owned(error);
  if (g_cancellable_is_cancelled(call->cancellable.get())) return;  // the gate is gone
  PaintGate* gate = call->gate;
  // The web process has rendered the frame; the view shows it at its next
  // draw, asked for here in case it has already had it.
  gate->step_ = Step::kDraw;
  gtk_widget_queue_draw(gate->view_.get());
}

gboolean PaintGate::OnLimit(gpointer self) {
  auto* gate = static_cast<PaintGate*>(self);
  gate->limitSource_ = 0;
  gate->Open();
  return G_SOURCE_REMOVE;
}

}  // namespace tarnel::platform::gtk
