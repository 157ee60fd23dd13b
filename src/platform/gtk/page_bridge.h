#pragma once
// The message channel between one web view's page and the application.
//
// Page side: a document-start user script in the top frame defines
// window.chrome.webview (postMessage, addEventListener, removeEventListener)
// over a WebKit script message handler, only in a document of the trusted
// origin (WebKit injects it only on the origin's scheme and host, and the
// script itself checks the whole origin before it defines anything).
// Application side: page messages go to the registered receivers; JSON for
// the page is handed over as a string literal and parsed by JSON.parse in the
// page, never spliced in as code.
//
// The trusted origin is the one the view's owner sets, from the address it
// navigates to (not where that load ends up); until then nothing is trusted.
// It holds for page messages from the next commit of the main frame on (the
// document shown until then was loaded under the one before). Page messages
// are accepted only from that origin, and only when they carry the token that
// only the bridge's own script knows (so a frame of another origin cannot
// post through the bare WebKit handler). The origin is the one the bridge
// script read in the posting document, not the view's address, which already
// names the next page while a load is in progress. Anything else is ignored
// with one line on stderr.
//
// JSON posted while a load is in progress waits for it to finish and is then
// delivered in order; it reaches the page only while the view shows a page of
// that origin.
//
// UI thread only. The bridge does not own the view; its owner keeps the view
// alive for the bridge's lifetime.
#include <webkit2/webkit2.h>

#include <deque>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/gtk/glib_handles.h"
#include "platform/gtk/gtk_web_view_settings.h"

namespace tarnel::platform::gtk {

class PageBridge {
 public:
  // A load that never finishes must not make the queue grow without end.
  static constexpr std::size_t kMaxPending = 1000;

  // `settings` says whether web messages are enabled; it outlives the bridge.
  PageBridge(WebKitWebView* view, const GtkWebViewSettings& settings);
  ~PageBridge();
  PageBridge(const PageBridge&) = delete;
  PageBridge& operator=(const PageBridge&) = delete;

  // Replaces the trusted origin ("scheme://host[:port]"; empty trusts
  // nothing). Documents that start from now on get the script only there.
  void SetTrustedOrigin(const std::string& origin);
  void AddReceiver(WebMessageReceived receiver);
  void Post(const std::string& json);
  // A load was asked for: what is posted from now on waits for it, even
  // before WebKit reports that it started.
  void LoadRequested() { loading_ = !destroyed_; }

 private:
  static void OnScriptMessage(WebKitUserContentManager* manager, WebKitJavascriptResult* result, gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static void OnDestroy(GtkWidget* widget, gpointer self);

  void Receive(JSCValue* value);
  void Deliver(const std::string& json);
  // Origin of the view's address, which moves to a new load's address as
  // soon as it starts; only read at commit.
  std::string UriOrigin() const;

  WebKitWebView* view_;
  GObjectPtr<WebKitUserContentManager> manager_;  // the view's; held so the bridge can always disconnect
  const GtkWebViewSettings& settings_;
  const std::string token_;
  std::string trustedOrigin_;    // as last set; empty until then
  std::string allowedOrigin_;    // the trusted origin as of the last commit
  std::string committedOrigin_;  // of the document the view shows now
  bool loading_ = false;
  bool destroyed_ = false;
  std::deque<std::string> pending_;  // at most kMaxPending
  std::vector<WebMessageReceived> receivers_;
  SignalConnection messageSignal_;
  SignalConnection loadSignal_;
  SignalConnection destroySignal_;
};

}  // namespace tarnel::platform::gtk
