#pragma once
// One WebKitWebView with the page bridge, as the application's browser view.
//
// The view holds a reference to its widget; the widget itself lives in the
// main window and is destroyed with it. From then on every operation does
// nothing, so the application may keep the view longer than the window.
// New-window requests (target=_blank links, window.open) never open a second
// WebKit window: web addresses go to the desktop's browser, the rest is
// ignored. UI thread only.
#include <webkit2/webkit2.h>

#include <memory>
#include <string>

#include "platform/browser.h"
#include "platform/gtk/glib_handles.h"
#include "platform/gtk/gtk_web_view_settings.h"
#include "platform/gtk/page_bridge.h"
#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkWebView final : public IWebView {
 public:
  // A new view, not yet placed anywhere; null when WebKit made none.
  // `shell` opens the addresses of new-window requests; it outlives the view.
  static std::shared_ptr<GtkWebView> Create(IShell& shell);
  ~GtkWebView() override;

  IWebViewSettings& GetSettings() override { return settings_; }
  // An empty address loads nothing.
  void Navigate(const std::string& url) override;
  void AddWebMessageReceived(WebMessageReceived handler) override;
  void PostWebMessageAsJson(const std::string& json) override;

  GtkWidget* Widget() const { return GTK_WIDGET(view_.get()); }

 private:
  GtkWebView(WebKitWebView* view, IShell& shell);

  static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
  static gboolean OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                                WebKitHitTestResult* hit, gpointer self);
  static void OnDestroy(GtkWidget* widget, gpointer self);

  GObjectPtr<WebKitWebView> view_;
  IShell& shell_;
  GtkWebViewSettings settings_;
  PageBridge bridge_;
  bool destroyed_ = false;
  SignalConnection createSignal_;
  SignalConnection contextMenuSignal_;
  SignalConnection destroySignal_;
};

}  // namespace tarnel::platform::gtk
