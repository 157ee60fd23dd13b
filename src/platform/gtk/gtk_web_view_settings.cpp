#include "platform/gtk/gtk_web_view_settings.h"

namespace tarnel::platform::gtk {

GtkWebViewSettings::GtkWebViewSettings(WebKitSettings* settings)
    : settings_(static_cast<WebKitSettings*>(g_object_ref(settings))) {}

void GtkWebViewSettings::PutIsScriptEnabled(bool enabled) {
  webkit_settings_set_enable_javascript(settings_.get(), enabled ? TRUE : FALSE);
}

void GtkWebViewSettings::PutAreDefaultScriptDialogsEnabled(bool) {}

void GtkWebViewSettings::PutAreDevToolsEnabled(bool enabled) {
  webkit_settings_set_enable_developer_extras(settings_.get(), enabled ? TRUE : FALSE);
}

}  // namespace tarnel::platform::gtk
