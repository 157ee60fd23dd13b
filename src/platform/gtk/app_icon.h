#pragma once
// The application icon, compiled into the executable.
#include <gdk-pixbuf/gdk-pixbuf.h>

#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {

// UI thread. The icon as a new pixbuf; null only if the resource is damaged.
GObjectPtr<GdkPixbuf> LoadAppIcon();

}  // namespace tarnel::platform::gtk
