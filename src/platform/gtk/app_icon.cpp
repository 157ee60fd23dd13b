#include "platform/gtk/app_icon.h"

#include <gio/gio.h>

// From the resource source that glib-compile-resources generates.
extern "C" GResource* tarnel_app_icon_get_resource(void);
extern "C" void tarnel_app_icon_register_resource(void);

namespace tarnel::platform::gtk {

GObjectPtr<GdkPixbuf> LoadAppIcon() {
  // Registered on first use; the resource lives as long as the process.
  static const bool registered = (tarnel_app_icon_register_resource(), true);
  (void)registered;
  GBytes* bytes = g_resource_lookup_data(tarnel_app_icon_get_resource(), "/org/tarnel/app_icon.png",
                                         G_RESOURCE_LOOKUP_FLAGS_NONE, nullptr);
  if (bytes == nullptr) return nullptr;
  GObjectPtr<GInputStream> stream(g_memory_input_stream_new_from_bytes(bytes));
  g_bytes_unref(bytes);
  return GObjectPtr<GdkPixbuf>(gdk_pixbuf_new_from_stream(stream.get(), nullptr, nullptr));
}

}  // namespace tarnel::platform::gtk
