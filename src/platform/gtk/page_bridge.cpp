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
  const std::string source = PageBridgeScript(token_);
  WebKitUserScript* script =
      webkit_user_script_new(source.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(manager_.get(), script);
  webkit_user_script_unref(script);
  loadSignal_ = Connect(view_, "load-changed", OnLoadChanged, this);
  destroySignal_ = Connect(view_, "destroy", OnDestroy, this);
}

PageBridge::~PageBridge() {
  messageSignal_.Disconnect();
  if (!destroyed_) {
    webkit_user_content_manager_unregister_script_message_handler(manager_.get(), std::string(kPageMessageChannel).c_str());
  }
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
    case WEBKIT_LOAD_STARTED:
      self->loading_ = true;
      break;
    case WEBKIT_LOAD_COMMITTED:
      // At commit the view's address is that of the new document.
      self->committedOrigin_ = self->UriOrigin();
      if (!self->committed_) {
        self->committed_ = true;
        self->allowedOrigin_ = self->committedOrigin_;
        if (self->allowedOrigin_.empty()) {
          std::cerr << "tarnel: the page has no web origin; its messages will be ignored\n";
        }
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
    default:
      break;
  }
}

void PageBridge::OnDestroy(GtkWidget*, gpointer data) {
  auto* self = static_cast<PageBridge*>(data);
  self->destroyed_ = true;
  self->pending_.clear();
}

}  // namespace tarnel::platform::gtk
