#pragma once
// One WebKitWebView with the page bridge, as the application's browser view.
//
// The view holds a reference to its widget; the widget itself lives in the
// main window and is destroyed with it. From then on every operation does
// nothing, so the application may keep the view longer than the window.
// New-window requests (target=_blank links, window.open) never open a second
// WebKit window: web addresses go to the desktop's browser, the rest is
// ignored.
//
// The page is what drives the application, so the view does only what that
// page needs:
// - The trusted origin is that of the address last given to Navigate. The
//   main frame never shows a document of another origin: a response for it
//   from elsewhere (a link, script, another frame setting top.location, a
//   server redirect) is refused before it is shown, and WebKit's error page
//   for a failed load elsewhere is not shown either. A user's click on a
//   link to another web origin opens it in the desktop's browser instead.
//   Subframes of other origins may load; they never get the page bridge.
//   WebKit says which frame a response is for, but not which frame a
//   navigation is for: so such a click in a subframe also goes to the
//   desktop's browser, and navigations to about: documents (which get no
//   response to refuse) are refused in every frame, except srcdoc.
// - No downloads: responses that are attachments or that WebKit cannot show
//   are refused, and the web context cancels any download that starts.
// UI thread only.
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
  // A new view on `context`, not yet placed anywhere; null when WebKit made
  // none. `shell` opens the addresses of new-window requests and of links
  // the user clicks to other origins; it outlives the view.
  static std::shared_ptr<GtkWebView> Create(IShell& shell, WebKitWebContext* context);
  ~GtkWebView() override;

  IWebViewSettings& GetSettings() override { return settings_; }
  // An empty address loads nothing. Its origin becomes the trusted origin.
  void Navigate(const std::string& url) override;
  void AddWebMessageReceived(WebMessageReceived handler) override;
  void PostWebMessageAsJson(const std::string& json) override;

  GtkWidget* Widget() const { return GTK_WIDGET(view_.get()); }

 private:
  GtkWebView(WebKitWebView* view, IShell& shell);

  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                 gpointer self);
  static gboolean OnLoadFailed(WebKitWebView* view, WebKitLoadEvent event, const char* uri, GError* error,
                               gpointer self);
  bool DecideNavigation(WebKitNavigationPolicyDecision* decision);
  bool DecideResponse(WebKitResponsePolicyDecision* decision);

  static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
  static gboolean OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event, WebKitHitTestResult* hit,
                                gpointer self);
  static void OnDestroy(GtkWidget* widget, gpointer self);

  GObjectPtr<WebKitWebView> view_;
  IShell& shell_;
  GtkWebViewSettings settings_;
  PageBridge bridge_;
  std::string trustedOrigin_;  // empty until Navigate: nothing is trusted
  bool destroyed_ = false;
  SignalConnection policySignal_;
  SignalConnection loadFailedSignal_;
  SignalConnection createSignal_;
  SignalConnection contextMenuSignal_;
  SignalConnection destroySignal_;
};

}  // namespace tarnel::platform::gtk
