#include "platform/gtk/gtk_web_view.h"

#include <algorithm>
#include <cctype>
#include <iostream>

#include "platform/url_rules.h"

namespace tarnel::platform::gtk {
namespace {

std::string UriOf(WebKitURIRequest* request) {
  const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  return uri != nullptr ? uri : "";
}

// Content-Disposition says "attachment" (its first field, in any case), as
// WebKit reads it when it turns a response into a download.
bool IsAttachment(WebKitURIResponse* response) {
  SoupMessageHeaders* headers = webkit_uri_response_get_http_headers(response);
  const char* value = headers != nullptr ? soup_message_headers_get_one(headers, "Content-Disposition") : nullptr;
  if (value == nullptr) return false;
  std::string type(value);
  type = type.substr(0, type.find(';'));
  const auto notSpace = [](unsigned char c) { return !std::isspace(c); };
  type.erase(type.begin(), std::find_if(type.begin(), type.end(), notSpace));
  type.erase(std::find_if(type.rbegin(), type.rend(), notSpace).base(), type.end());
  std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
  return type == "attachment";
}

}  // namespace

std::shared_ptr<GtkWebView> GtkWebView::Create(IShell& shell, WebKitWebContext* context) {
  if (context == nullptr) return nullptr;
  GtkWidget* widget = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context, nullptr));
  if (widget == nullptr || !WEBKIT_IS_WEB_VIEW(widget)) return nullptr;
  return std::shared_ptr<GtkWebView>(new GtkWebView(WEBKIT_WEB_VIEW(widget), shell));
}

GtkWebView::GtkWebView(WebKitWebView* view, IShell& shell)
    : view_(static_cast<WebKitWebView*>(g_object_ref_sink(view))),
      shell_(shell),
      settings_(webkit_web_view_get_settings(view)),
      bridge_(view, settings_) {
  policySignal_ = Connect(view, "decide-policy", OnDecidePolicy, this);
  loadFailedSignal_ = Connect(view, "load-failed", OnLoadFailed, this);
  createSignal_ = Connect(view, "create", OnCreate, this);
  contextMenuSignal_ = Connect(view, "context-menu", OnContextMenu, this);
  destroySignal_ = Connect(view, "destroy", OnDestroy, this);
}

GtkWebView::~GtkWebView() = default;

void GtkWebView::Navigate(const std::string& url) {
  if (destroyed_ || url.empty()) return;
  // The address asked for, not where a redirect of it ends, names the origin
  // the main frame may show.
  trustedOrigin_ = OriginOf(url);
  if (trustedOrigin_.empty()) std::cerr << "tarnel: the page address has no web origin; nothing will be shown\n";
  bridge_.SetTrustedOrigin(trustedOrigin_);
  bridge_.LoadRequested();
  webkit_web_view_load_uri(view_.get(), url.c_str());
}

void GtkWebView::AddWebMessageReceived(WebMessageReceived handler) { bridge_.AddReceiver(std::move(handler)); }

void GtkWebView::PostWebMessageAsJson(const std::string& json) {
  if (!destroyed_) bridge_.Post(json);
}

gboolean GtkWebView::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision, WebKitPolicyDecisionType type,
                                    gpointer data) {
  auto* self = static_cast<GtkWebView*>(data);
  // TRUE: decided here. FALSE: WebKit's default, which loads what it can show.
  switch (type) {
    case WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION:
      return self->DecideNavigation(WEBKIT_NAVIGATION_POLICY_DECISION(decision)) ? TRUE : FALSE;
    case WEBKIT_POLICY_DECISION_TYPE_RESPONSE:
      return self->DecideResponse(WEBKIT_RESPONSE_POLICY_DECISION(decision)) ? TRUE : FALSE;
    default: return FALSE;  // new windows: the "create" handler decides
  }
}

bool GtkWebView::DecideNavigation(WebKitNavigationPolicyDecision* decision) {
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(decision);
  if (action == nullptr) return false;
  // Only a real click of the user's: script clicks carry no button.
  const bool userClick = webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_LINK_CLICKED &&
                         webkit_navigation_action_get_mouse_button(action) != 0 &&
                         webkit_navigation_action_is_user_gesture(action);
  const std::string uri = UriOf(webkit_navigation_action_get_request(action));
  // An about: document gets no response to refuse and would replace the
  // main frame's page. The decision does not say which frame it is for, so a
  // subframe keeps the document it has instead (srcdoc frames still load).
  if (uri.rfind("about:", 0) == 0 && uri != "about:srcdoc") {
    std::cerr << "tarnel: refused a navigation to \"" << uri << "\"\n";
    webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
    return true;
  }
  if (!userClick || !IsWebUrl(uri) || OriginOf(uri) == trustedOrigin_) return false;
  webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
  shell_.OpenUrl(uri);
  return true;
}

bool GtkWebView::DecideResponse(WebKitResponsePolicyDecision* decision) {
  WebKitURIResponse* response = webkit_response_policy_decision_get_response(decision);
  const std::string requested = UriOf(webkit_response_policy_decision_get_request(decision));
  const char* responseUri = response != nullptr ? webkit_uri_response_get_uri(response) : nullptr;
  const std::string answered = responseUri != nullptr ? responseUri : requested;
  const char* refusal = nullptr;
  if (response == nullptr || IsAttachment(response) ||
      !webkit_response_policy_decision_is_mime_type_supported(decision)) {
    // WebKit would turn it into a download.
    refusal = "a download";
  } else if (webkit_response_policy_decision_is_main_frame_main_resource(decision) &&
             (trustedOrigin_.empty() || OriginOf(answered) != trustedOrigin_ ||
              OriginOf(requested) != trustedOrigin_)) {
    refusal = "a page of another origin";
  }
  if (refusal == nullptr) return false;
  std::cerr << "tarnel: refused " << refusal << ": \"" << answered << "\"\n";
  webkit_policy_decision_ignore(WEBKIT_POLICY_DECISION(decision));
  return true;
}

gboolean GtkWebView::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, const char* uri, GError*, gpointer data) {
  // WebKit's error page would show under the failed address: only on the
  // trusted origin. TRUE stops it.
  const auto* self = static_cast<GtkWebView*>(data);
  return uri != nullptr && OriginOf(uri) == self->trustedOrigin_ && !self->trustedOrigin_.empty() ? FALSE : TRUE;
}

GtkWidget* GtkWebView::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer data) {
  auto* self = static_cast<GtkWebView*>(data);
  const std::string address = UriOf(webkit_navigation_action_get_request(action));
  if (IsWebUrl(address)) {
    self->shell_.OpenUrl(address);
  } else {
    std::cerr << "tarnel: ignored a new window for \"" << address << "\"\n";
  }
  return nullptr;  // no WebKit window of our own
}

gboolean GtkWebView::OnContextMenu(WebKitWebView*, WebKitContextMenu*, GdkEvent*, WebKitHitTestResult*, gpointer data) {
  // TRUE stops the menu from showing.
  return static_cast<GtkWebView*>(data)->settings_.ContextMenusEnabled() ? FALSE : TRUE;
}

void GtkWebView::OnDestroy(GtkWidget*, gpointer data) { static_cast<GtkWebView*>(data)->destroyed_ = true; }

}  // namespace tarnel::platform::gtk
