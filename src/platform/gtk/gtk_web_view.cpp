#include "platform/gtk/gtk_web_view.h"

#include <iostream>

#include "platform/url_rules.h"

namespace tarnel::platform::gtk {

std::shared_ptr<GtkWebView> GtkWebView::Create(IShell& shell) {
  GtkWidget* widget = webkit_web_view_new();
  if (widget == nullptr || !WEBKIT_IS_WEB_VIEW(widget)) return nullptr;
  return std::shared_ptr<GtkWebView>(new GtkWebView(WEBKIT_WEB_VIEW(widget), shell));
}

GtkWebView::GtkWebView(WebKitWebView* view, IShell& shell)
    : view_(static_cast<WebKitWebView*>(g_object_ref_sink(view))),
      shell_(shell),
      settings_(webkit_web_view_get_settings(view)),
      bridge_(view, settings_) {
  createSignal_ = Connect(view, "create", OnCreate, this);
  contextMenuSignal_ = Connect(view, "context-menu", OnContextMenu, this);
  destroySignal_ = Connect(view, "destroy", OnDestroy, this);
}

GtkWebView::~GtkWebView() = default;

void GtkWebView::Navigate(const std::string& url) {
  if (destroyed_ || url.empty()) return;
  bridge_.LoadRequested();
  webkit_web_view_load_uri(view_.get(), url.c_str());
}

void GtkWebView::AddWebMessageReceived(WebMessageReceived handler) { bridge_.AddReceiver(std::move(handler)); }

void GtkWebView::PostWebMessageAsJson(const std::string& json) {
  if (!destroyed_) bridge_.Post(json);
}

GtkWidget* GtkWebView::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  auto* self = static_cast<GtkWebView*>(data);
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  const std::string address = uri != nullptr ? uri : "";
  if (IsWebUrl(address)) {
    self->shell_.OpenUrl(address);
  } else {
    std::cerr << "tarnel: ignored a new window for \"" << address << "\"\n";
  }
  return nullptr;  // no WebKit window of our own
}

gboolean GtkWebView::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*,
                                   gpointer data) {
  // TRUE stops the menu from showing.
  return static_cast<GtkWebView*>(data)->settings_.ContextMenusEnabled() ? FALSE : TRUE;
}

void GtkWebView::OnDestroy(GtkWidget*, gpointer data) { static_cast<GtkWebView*>(data)->destroyed_ = true; }

}  // namespace tarnel::platform::gtk
