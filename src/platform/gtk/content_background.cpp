#include "platform/gtk/content_background.h"

#include <cairo-xlib.h>
#include <gdk/gdkx.h>

#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {
namespace {

// Long enough for the program's own first draw on screen, even when busy.
constexpr guint kHoldMs = 3000;

void ClearBackground(GdkWindow* window) {
  if (gdk_window_is_destroyed(window)) return;
  XSetWindowBackgroundPixmap(GDK_WINDOW_XDISPLAY(window), GDK_WINDOW_XID(window), None);
}

}  // namespace

void HoldPictureAsBackground(GtkWidget* widget, cairo_surface_t* picture) {
  GdkWindow* window = widget != nullptr ? gtk_widget_get_window(widget) : nullptr;
  if (window == nullptr || !GDK_IS_X11_WINDOW(window)) return;
  const int width = gtk_widget_get_allocated_width(widget);
  const int height = gtk_widget_get_allocated_height(widget);
  if (width <= 0 || height <= 0) return;
  // A pixmap like the window's, with the picture drawn into it.
  cairo_surface_t* surface = gdk_window_create_similar_surface(window, CAIRO_CONTENT_COLOR, width, height);
  if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_XLIB) {
    cairo_surface_destroy(surface);
    return;
  }
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_surface(cr, picture, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  // The server keeps its own reference to a background pixmap.
  XSetWindowBackgroundPixmap(GDK_WINDOW_XDISPLAY(window), GDK_WINDOW_XID(window),
                             cairo_xlib_surface_get_drawable(surface));
  cairo_surface_destroy(surface);
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, kHoldMs,
      [](gpointer data) -> gboolean {
        ClearBackground(GDK_WINDOW(data));
        return G_SOURCE_REMOVE;
      },
      g_object_ref(window), g_object_unref);
}

}  // namespace tarnel::platform::gtk
