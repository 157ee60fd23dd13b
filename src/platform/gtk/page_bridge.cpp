#include "platform/gtk/page_bridge.h"

#include <exception>
#include <iostream>
#include <random>

#include "platform/script_text.h"
#include "platform/url_rules.h"

namespace tarnel::platform::gtk {
namespace {

std::string NewToken() {
  static constexpr char kHex[] = "0123456789abcdef";
  std::random_device random;
  std::string token;
  for (int i = 0; i < 32; ++i) token += kHex[random() % 16];
  return token;
}

// A property of a posted object; null when it is missing.
GObjectPtr<JSCValue> Property(JSCValue* object, const char* name) {
  return GObjectPtr<JSCValue>(jsc_value_object_get_property(object, name));
}

// The user script pattern for the origin's scheme and host: WebKit's
// patterns cannot name a port. Empty for no web origin.
std::string HostPattern(const std::string& origin) {
  const auto schemeEnd = origin.find("://");
  if (schemeEnd == std::string::npos) return {};
  const std::string rest = origin.substr(schemeEnd + 3);
  const auto hostEnd = rest.rfind(':');
  const bool hasPort = hostEnd != std::string::npos && rest.find(']', hostEnd) == std::string::npos;
  return origin.substr(0, schemeEnd + 3) + (hasPort ? rest.substr(0, hostEnd) : rest) + "/*";
}

std::string StringOf(JSCValue* value) {
  if (value == nullptr || !jsc_value_is_string(value)) return {};
  GCharPtr text(jsc_value_to_string(value));
  return text ? std::string(text.get()) : std::string();
}

}  // namespace

PageBridge::PageBridge(WebKitWebView* view, const GtkWebViewSettings& settings)
    : view_(view),
      manager_(static_cast<WebKitUserContentManager*>(g_object_ref(webkit_web_view_get_user_content_manager(view)))),
      settings_(settings),
      token_(NewToken()) {
  const std::string channel(kPageMessageChannel);
  const std::string signal = "script-message-received::" + channel;
  messageSignal_ = Connect(manager_.get(), signal.c_str(), OnScriptMessage, this);
  webkit_user_content_manager_register_script_message_handler(manager_.get(), channel.c_str());
  loadSignal_ = Connect(view_, "load-changed", OnLoadChanged, this);
  destroySignal_ = Connect(view_, "destroy", OnDestroy, this);
}

PageBridge::~PageBridge() {
  messageSignal_.Disconnect();
  if (!destroyed_) {
    webkit_user_content_manager_unregister_script_message_handler(manager_.get(),
                                                                  std::string(kPageMessageChannel).c_str());
  }
}

void PageBridge::SetTrustedOrigin(const std::string& origin) {
  if (destroyed_) return;
  trustedOrigin_ = origin;
  // The bridge's script is the only user script of the view.
  webkit_user_content_manager_remove_all_scripts(manager_.get());
  const std::string pattern = HostPattern(origin);
  if (origin.empty() || pattern.empty()) return;
  const std::string source = "if (location.origin === " + JsStringLiteral(origin) + ") " + PageBridgeScript(token_);
  const char* const allowList[] = {pattern.c_str(), nullptr};
  WebKitUserScript* script = webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                                                    WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, allowList, nullptr);
  webkit_user_content_manager_add_script(manager_.get(), script);
  webkit_user_script_unref(script);
}

void PageBridge::AddReceiver(WebMessageReceived receiver) { receivers_.push_back(std::move(receiver)); }

void PageBridge::Post(const std::string& json) {
  if (destroyed_ || !settings_.WebMessagesEnabled()) return;
  if (loading_) {
    if (pending_.size() < kMaxPending) {
      pending_.push_back(json);
    } else {
      std::cerr << "tarnel: dropped a message for the page, which is still loading\n";
    }
    return;
  }
  Deliver(json);
}

void PageBridge::Deliver(const std::string& json) {
  // Only a page of the application's own origin hears from it.
  if (allowedOrigin_.empty() || committedOrigin_ != allowedOrigin_) return;
  const std::string script = DeliverMessageScript(json);
  webkit_web_view_evaluate_javascript(view_, script.c_str(), static_cast<gssize>(script.size()), nullptr, nullptr,
                                      nullptr, nullptr, nullptr);
}

std::string PageBridge::UriOrigin() const {
  const char* uri = webkit_web_view_get_uri(view_);
  return uri != nullptr ? OriginOf(uri) : std::string();
}

void PageBridge::OnScriptMessage(WebKitUserContentManager*, WebKitJavascriptResult* result, gpointer self) {
  static_cast<PageBridge*>(self)->Receive(webkit_javascript_result_get_js_value(result));
}

void PageBridge::Receive(JSCValue* value) {
  if (destroyed_ || !settings_.WebMessagesEnabled()) return;
  if (value == nullptr || !jsc_value_is_object(value) || StringOf(Property(value, "token").get()) != token_) {
    std::cerr << "tarnel: ignored a page message that did not come through the page's webview API\n";
    return;
  }
  // The origin of the document that posted, as the bridge script read it
  // there: the view's address may already belong to a load in progress.
  const std::string origin = OriginOf(StringOf(Property(value, "origin").get()));
  if (allowedOrigin_.empty() || origin != allowedOrigin_) {
    std::cerr << "tarnel: ignored a page message from origin \"" << origin << "\"\n";
    return;
  }
  const auto isString = Property(value, "isString");
  std::optional<std::string> text;
  if (isString && jsc_value_to_boolean(isString.get())) text = StringOf(Property(value, "text").get());

  // A copy: a receiver may add receivers.
  const auto receivers = receivers_;
  for (const auto& receiver : receivers) {
    // An exception must not unwind through WebKit's signal emission.
    try {
      receiver(text);
    } catch (const std::exception& error) {
      std::cerr << "tarnel: a page message handler failed: " << error.what() << '\n';
    } catch (...) {
      std::cerr << "tarnel: a page message handler failed\n";
    }
  }
}

void PageBridge::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer data) {
  auto* self = static_cast<PageBridge*>(data);
  switch (event) {
    case WEBKIT_LOAD_STARTED: self->loading_ = true; break;
    case WEBKIT_LOAD_COMMITTED:
      // At commit the view's address is that of the new document.
      self->committedOrigin_ = self->UriOrigin();
      self->allowedOrigin_ = self->trustedOrigin_;
      if (self->committedOrigin_ != self->allowedOrigin_) {
        std::cerr << "tarnel: the view shows a page of origin \"" << self->committedOrigin_
                  << "\", which gets no page bridge\n";
      }
      break;
    case WEBKIT_LOAD_FINISHED: {
      self->loading_ = false;
      // Delivering may start nothing new, but take the queue first anyway.
      std::deque<std::string> pending;
      pending.swap(self->pending_);
      for (const auto& json : pending) self->Deliver(json);
      break;
    }
    default: break;
  }
}

void PageBridge::OnDestroy(GtkWidget*, gpointer data) {
  auto* self = static_cast<PageBridge*>(data);
  self->destroyed_ = true;
  self->pending_.clear();
}

}  // namespace tarnel::platform::gtk
