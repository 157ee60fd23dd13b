#include "platform/gtk/gtk_platform.h"

#include <gtk/gtk.h>

namespace tarnel::platform::gtk {

GtkPlatform::Initialised::Initialised(int& argc, char**& argv) {
  // The window placement, the pointer grab and the DPI all rely on X11.
  gdk_set_allowed_backends("x11");
  if (!gtk_init_check(&argc, &argv)) throw std::runtime_error("cannot open the X11 display");
}

GtkPlatform::GtkPlatform(int& argc, char**& argv)
    : initialised_(argc, argv), browser_(window_, shell_), platform_{window_, browser_, shell_, system_} {}

}  // namespace tarnel::platform::gtk
