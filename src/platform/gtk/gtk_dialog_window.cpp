#include "platform/gtk/gtk_dialog_window.h"

#include <algorithm>

#include "platform/gtk/app_icon.h"
#include "platform/gtk/dialog_font.h"
#include "platform/gtk/glib_handles.h"
#include "platform/gtk/main_loop.h"
#include "platform/gtk/modal_dialogs.h"
#include "platform/window_placement.h"

namespace tarnel::platform::gtk {
namespace {

constexpr WPARAM MK_LBUTTON = 0x0001;

}  // namespace

GtkDialogWindow::~GtkDialogWindow() { DestroyWindow(); }

int GtkDialogWindow::DoModal(IMessageTarget& target) {
  if (window_ != nullptr) return -1;  // one modal run at a time
  ended_ = false;
  result_ = 0;
  shown_ = false;
  iconifyOnShow_ = false;
  revealOnCenter_ = false;
  CancelReveal();
  capturing_ = false;
  state_ = static_cast<GdkWindowState>(0);
  sizeSent_ = false;
  title_.clear();
  geometry_ = GeometryTracker();

  CreateWindow();
  handle_ = WindowHandle::Create(PostToMainLoop, [&target](std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    return target.WindowProc(message, wParam, lParam);
  });
  const auto handle = handle_;
  if (handle->SendMessage(WM_CREATE, 0, 0) == -1) {
    DestroyWindow();
    return -1;
  }
  handle->SendMessage(WM_INITDIALOG, 0, 0);

  if (!ended_ && window_ != nullptr) {
    // The template is visible: show the window once its initialisation is
    // done, iconified if that was asked for.
    gtk_widget_show(window_);
    shown_ = true;
    const GMainLoopPtr loop(g_main_loop_new(nullptr, FALSE));
    loop_ = loop.get();
    g_main_loop_run(loop_);
    loop_ = nullptr;
  }
  const int result = result_;
  DestroyWindow();
  return result;
}

void GtkDialogWindow::EndDialog(int result) {
  result_ = result;
  ended_ = true;
  if (loop_ != nullptr) g_main_loop_quit(loop_);
}

void GtkDialogWindow::CreateWindow() {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  GtkWindow* window = GTK_WINDOW(window_);
  // No caption, no border; a normal window, so it has a taskbar button.
  gtk_window_set_decorated(window, FALSE);
  gtk_window_set_skip_taskbar_hint(window, FALSE);
  gtk_window_set_type_hint(window, GDK_WINDOW_TYPE_HINT_NORMAL);
  gtk_widget_add_events(window_,
                        GDK_POINTER_MOTION_MASK | GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_STRUCTURE_MASK);

  g_signal_connect(window_, "configure-event", G_CALLBACK(OnConfigure), this);
  g_signal_connect(window_, "window-state-event", G_CALLBACK(OnWindowState), this);
  g_signal_connect(window_, "delete-event", G_CALLBACK(OnDelete), this);
  g_signal_connect(window_, "motion-notify-event", G_CALLBACK(OnMotion), this);
  g_signal_connect(window_, "button-release-event", G_CALLBACK(OnButtonRelease), this);
  g_signal_connect(window_, "grab-broken-event", G_CALLBACK(OnGrabBroken), this);
  g_signal_connect(window_, "destroy", G_CALLBACK(OnDestroy), this);

  // The template's size, centred on the work area, as a centred dialog
  // template is placed at creation.
  const int scale = Scale();
  const PixelSize size = TemplateSize(gtk_widget_get_screen(window_));
  gtk_window_set_default_size(window, size.cx, size.cy);
  const Rect initial{0, 0, size.cx * scale, size.cy * scale};
  PlaceWindow(CenteredInWorkArea(initial, WorkAreaFor(initial)), true, false);
}

void GtkDialogWindow::DestroyWindow() {
  CancelReveal();
  ReleaseCapture();
  if (handle_) {
    handle_->Destroy();  // queued and later posts are dropped from now on
    handle_.reset();
  }
  if (window_ != nullptr) {
    GtkWidget* window = window_;
    window_ = nullptr;
    g_signal_handlers_disconnect_by_data(window, this);
    gtk_widget_destroy(window);  // destroys the web view with it
  }
}

int GtkDialogWindow::Scale() const {
  if (window_ != nullptr) return std::max(1, gtk_widget_get_scale_factor(window_));
  GdkMonitor* monitor = gdk_display_get_primary_monitor(gdk_display_get_default());
  if (monitor == nullptr) monitor = gdk_display_get_monitor(gdk_display_get_default(), 0);
  return monitor != nullptr ? std::max(1, gdk_monitor_get_scale_factor(monitor)) : 1;
}

void GtkDialogWindow::SendSize(int width, int height) {
  const bool iconic = (state_ & GDK_WINDOW_STATE_ICONIFIED) != 0;
  const unsigned kind =
      iconic ? SIZE_MINIMIZED : ((state_ & GDK_WINDOW_STATE_MAXIMIZED) != 0 ? SIZE_MAXIMIZED : SIZE_RESTORED);
  if (iconic) width = height = 0;  // an iconic window has no client area
  if (sizeSent_ && kind == sentKind_ && width == sentWidth_ && height == sentHeight_) return;
  sizeSent_ = true;
  sentKind_ = kind;
  sentWidth_ = width;
  sentHeight_ = height;
  if (const auto handle = handle_) handle->SendMessage(WM_SIZE, kind, MakeSizeLParam(width, height));
}

gboolean GtkDialogWindow::OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer data) {
  auto* self = static_cast<GtkDialogWindow*>(data);
  const int scale = self->Scale();
  // A top-level's configure event carries its position in root coordinates.
  const Rect rect{event->x * scale, event->y * scale, (event->x + event->width) * scale,
                  (event->y + event->height) * scale};
  self->geometry_.Configured(rect, Clock::now());
  // The size the window is taken to have, not the report's: a late report of
  // an older size while a resize is pending is no change of size.
  const Rect current = self->GetWindowRect();
  self->SendSize(current.Width(), current.Height());
  return FALSE;
}

gboolean GtkDialogWindow::OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer data) {
  auto* self = static_cast<GtkDialogWindow*>(data);
  self->state_ = event->new_window_state;
  if ((event->changed_mask & (GDK_WINDOW_STATE_ICONIFIED | GDK_WINDOW_STATE_MAXIMIZED)) != 0) {
    const Rect client = self->GetClientRect();
    self->SendSize(client.Width(), client.Height());
  }
  return FALSE;
}

gboolean GtkDialogWindow::OnDelete(GtkWidget*, GdkEvent*, gpointer data) {
  // Closing the window (a window manager's close) cancels the dialog.
  static_cast<GtkDialogWindow*>(data)->EndDialog(IDCANCEL);
  return TRUE;
}

gboolean GtkDialogWindow::OnMotion(GtkWidget*, GdkEventMotion* event, gpointer data) {
  auto* self = static_cast<GtkDialogWindow*>(data);
  if (!self->capturing_) return FALSE;
  const Point client = self->ToClient(event->x_root, event->y_root);
  const WPARAM keys = (event->state & GDK_BUTTON1_MASK) != 0 ? MK_LBUTTON : 0;
  if (const auto handle = self->handle_) handle->SendMessage(WM_MOUSEMOVE, keys, MakeMouseLParam(client.x, client.y));
  return TRUE;
}

gboolean GtkDialogWindow::OnButtonRelease(GtkWidget*, GdkEventButton* event, gpointer data) {
  auto* self = static_cast<GtkDialogWindow*>(data);
  if (!self->capturing_ || event->button != GDK_BUTTON_PRIMARY) return FALSE;
  const Point client = self->ToClient(event->x_root, event->y_root);
  if (const auto handle = self->handle_) handle->SendMessage(WM_LBUTTONUP, 0, MakeMouseLParam(client.x, client.y));
  return TRUE;
}

gboolean GtkDialogWindow::OnGrabBroken(GtkWidget*, GdkEventGrabBroken*, gpointer data) {
  static_cast<GtkDialogWindow*>(data)->capturing_ = false;
  return FALSE;
}

void GtkDialogWindow::OnDestroy(GtkWidget*, gpointer data) {
  // Only reached when something else destroys the window: end the run.
  auto* self = static_cast<GtkDialogWindow*>(data);
  self->CancelReveal();
  self->window_ = nullptr;
  self->capturing_ = false;
  if (!self->ended_) self->EndDialog(IDCANCEL);
}

void GtkDialogWindow::SetAppIcon() {
  if (window_ == nullptr) return;
  if (const auto icon = LoadAppIcon()) {
    gtk_window_set_icon(GTK_WINDOW(window_), icon.get());
    gtk_window_set_default_icon(icon.get());  // for the message box and the save dialog
  }
}

void GtkDialogWindow::SetWindowText(const std::string& text) {
  GCharPtr valid(g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size())));
  title_ = valid.get();
  if (window_ != nullptr) gtk_window_set_title(GTK_WINDOW(window_), title_.c_str());
}

int GtkDialogWindow::MessageBox(const std::string& text, const std::string& caption, unsigned) {
  // Only MB_OK is asked for: one OK button, no icon.
  return RunMessageBox(Widget(), IsInView(), text, caption);
}

std::optional<std::string> GtkDialogWindow::ShowSaveDialog(const SaveDialogOptions& options) {
  return RunSaveDialog(Widget(), IsInView(), options);
}

}  // namespace tarnel::platform::gtk
