#include "platform/win32/webview2/webview2_view.h"

#include <iostream>
#include <optional>
#include <utility>

#include "platform/page_background.h"
#include "platform/url_rules.h"
#include "platform/wide_text.h"
#include "platform/win32/webview2/com_string.h"
#include "platform/win32/webview2/webview2_callbacks.h"
#include "platform/win32/webview2/webview2_policy.h"

namespace tarnel::platform::win32::webview2 {
namespace {

ComPtr<ICoreWebView2Settings> SettingsOf(ICoreWebView2* view) {
  ComPtr<ICoreWebView2Settings> settings;
  if (view == nullptr || FAILED(view->lpVtbl->get_Settings(view, settings.Receive()))) return {};
  return settings;
}

}  // namespace

void WebView2Settings::PutIsScriptEnabled(bool enabled) {
  if (settings_) settings_->lpVtbl->put_IsScriptEnabled(settings_.Get(), enabled ? TRUE : FALSE);
}

void WebView2Settings::PutAreDefaultScriptDialogsEnabled(bool enabled) {
  if (settings_) settings_->lpVtbl->put_AreDefaultScriptDialogsEnabled(settings_.Get(), enabled ? TRUE : FALSE);
}

void WebView2Settings::PutIsWebMessageEnabled(bool enabled) {
  if (settings_) settings_->lpVtbl->put_IsWebMessageEnabled(settings_.Get(), enabled ? TRUE : FALSE);
}

void WebView2Settings::PutAreDevToolsEnabled(bool enabled) {
  if (settings_) settings_->lpVtbl->put_AreDevToolsEnabled(settings_.Get(), enabled ? TRUE : FALSE);
}

void WebView2Settings::PutAreDefaultContextMenusEnabled(bool enabled) {
  if (settings_) settings_->lpVtbl->put_AreDefaultContextMenusEnabled(settings_.Get(), enabled ? TRUE : FALSE);
}

WebView2View::WebView2View(ComPtr<ICoreWebView2> view, UiScheduler schedule, OpenInBrowser open_in_browser,
                           SetBackground set_background, DelayedScheduler later)
    : view_(std::move(view)), settings_(SettingsOf(view_.Get())), state_(std::make_shared<State>()) {
  state_->schedule = std::move(schedule);
  state_->open_in_browser = std::move(open_in_browser);
  state_->set_background = std::move(set_background);
  state_->later = std::move(later);
  if (!view_) return;
  // Registered before the first navigation, so that none escapes the policy.
  std::shared_ptr<State> state = state_;
  ICoreWebView2NavigationStartingEventHandler* navigation = NavigationStartingCallback::Create(
      [state](ICoreWebView2*, ICoreWebView2NavigationStartingEventArgs* args) { OnNavigationStarting(state, args); });
  navigationRegistered_ = SUCCEEDED(view_->lpVtbl->add_NavigationStarting(view_.Get(), navigation, &navigationToken_));
  navigation->lpVtbl->Release(navigation);

  ICoreWebView2NewWindowRequestedEventHandler* newWindow = NewWindowRequestedCallback::Create(
      [state](ICoreWebView2*, ICoreWebView2NewWindowRequestedEventArgs* args) { OnNewWindowRequested(state, args); });
  newWindowRegistered_ = SUCCEEDED(view_->lpVtbl->add_NewWindowRequested(view_.Get(), newWindow, &newWindowToken_));
  newWindow->lpVtbl->Release(newWindow);
}

WebView2View::~WebView2View() { Detach(); }

void WebView2View::Detach() {
  state_->detached = true;
  state_->receivers.clear();
  state_->held.clear();
  state_->set_background = nullptr;
  if (!view_) return;
  if (navigationRegistered_) view_->lpVtbl->remove_NavigationStarting(view_.Get(), navigationToken_);
  if (newWindowRegistered_) view_->lpVtbl->remove_NewWindowRequested(view_.Get(), newWindowToken_);
  if (messageRegistered_) view_->lpVtbl->remove_WebMessageReceived(view_.Get(), messageToken_);
  navigationRegistered_ = newWindowRegistered_ = messageRegistered_ = false;
  view_.Reset();
}

void WebView2View::Navigate(const std::string& url) {
  if (!view_ || url.empty()) return;
  // The address asked for, not where a redirect of it ends, names the origin
  // the main frame may show.
  state_->trusted_origin = OriginOf(url);
  if (state_->trusted_origin.empty()) {
    std::cerr << "tarnel: the page address has no web origin; nothing will be shown\n";
  }
  const std::wstring wide = Utf8ToWide(url);
  const HRESULT result = view_->lpVtbl->Navigate(view_.Get(), wide.c_str());
  if (FAILED(result)) {
    std::cerr << "tarnel: WebView2 refused the navigation (0x" << std::hex << result << std::dec << ")\n";
  }
}

void WebView2View::AddWebMessageReceived(WebMessageReceived handler) {
  if (!view_ || !handler) return;
  state_->receivers.push_back(std::move(handler));
  if (messageRegistered_) return;
  std::shared_ptr<State> state = state_;
  ICoreWebView2WebMessageReceivedEventHandler* message = WebMessageReceivedCallback::Create(
      [state](ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args) {
        OnWebMessageReceived(state, sender, args);
      });
  messageRegistered_ = SUCCEEDED(view_->lpVtbl->add_WebMessageReceived(view_.Get(), message, &messageToken_));
  message->lpVtbl->Release(message);
}

void WebView2View::PostWebMessageAsJson(const std::string& json) {
  if (!view_) return;
  const std::wstring wide = Utf8ToWide(json);
  view_->lpVtbl->PostWebMessageAsJson(view_.Get(), wide.c_str());
}

void WebView2View::HandOver(const std::shared_ptr<State>& state, const std::string& url) {
  if (!state->schedule) return;
  state->schedule([state, url] {
    if (!state->detached && state->open_in_browser) state->open_in_browser(url);
  });
}

void WebView2View::OnNavigationStarting(const std::shared_ptr<State>& state,
                                        ICoreWebView2NavigationStartingEventArgs* args) {
  if (args == nullptr || state->detached) return;
  LPWSTR rawUri = nullptr;
  const HRESULT uriResult = args->lpVtbl->get_Uri(args, &rawUri);
  const std::string uri = WideToUtf8(TakeComString(rawUri));
  BOOL userInitiated = FALSE;
  if (FAILED(args->lpVtbl->get_IsUserInitiated(args, &userInitiated))) userInitiated = FALSE;
  // An address that cannot be read is not on the trusted origin either.
  const NavigationDecision decision =
      DecideNavigation(SUCCEEDED(uriResult) ? uri : std::string(), state->trusted_origin, userInitiated != FALSE);
  if (!decision.cancel) return;
  args->lpVtbl->put_Cancel(args, TRUE);
  std::cerr << "tarnel: refused a navigation to \"" << uri << "\"\n";
  if (decision.open_outside) HandOver(state, *decision.open_outside);
}

void WebView2View::OnNewWindowRequested(const std::shared_ptr<State>& state,
                                        ICoreWebView2NewWindowRequestedEventArgs* args) {
  if (args == nullptr) return;
  // Handled with no new window given: the runtime opens nothing.
  args->lpVtbl->put_Handled(args, TRUE);
  if (state->detached) return;
  LPWSTR rawUri = nullptr;
  const HRESULT uriResult = args->lpVtbl->get_Uri(args, &rawUri);
  const std::string uri = WideToUtf8(TakeComString(rawUri));
  const std::optional<std::string> target = SUCCEEDED(uriResult) ? NewWindowTarget(uri) : std::nullopt;
  if (target) {
    HandOver(state, *target);
  } else {
    std::cerr << "tarnel: ignored a new window for \"" << uri << "\"\n";
  }
}

void WebView2View::OnWebMessageReceived(const std::shared_ptr<State>& state, ICoreWebView2* sender,
                                        ICoreWebView2WebMessageReceivedEventArgs* args) {
  if (args == nullptr || state->detached) return;
  LPWSTR rawSource = nullptr;
  const HRESULT sourceResult = args->lpVtbl->get_Source(args, &rawSource);
  const std::string source = WideToUtf8(TakeComString(rawSource));
  if (FAILED(sourceResult) || !AcceptsMessageFrom(source, state->trusted_origin)) {
    std::cerr << "tarnel: ignored a page message from \"" << source << "\"\n";
    return;
  }
  LPWSTR rawText = nullptr;
  const HRESULT textResult = args->lpVtbl->TryGetWebMessageAsString(args, &rawText);
  const std::wstring text = TakeComString(rawText);
  std::optional<std::string> message;
  if (SUCCEEDED(textResult)) {
    message = WideToUtf8(text);
  } else if (textResult != E_INVALIDARG) {
    // E_INVALIDARG says the page posted a non-string; anything else is a message that could not be read.
    std::cerr << "tarnel: could not read a page message\n";
    return;
  }
  if (!state->schedule) return;
  if (state->background == Background::kUnread && state->set_background && sender != nullptr) {
    state->held.push_back(std::move(message));
    ReadBackground(state, sender);
    return;
  }
  if (state->background == Background::kReading) {
    state->held.push_back(std::move(message));
    return;
  }
  Deliver(state, {std::move(message)});
}

void WebView2View::Deliver(const std::shared_ptr<State>& state, std::vector<std::optional<std::string>> messages) {
  state->schedule([state, messages = std::move(messages)] {
    for (const std::optional<std::string>& message : messages) {
      if (state->detached) return;
      // A receiver may add another: iterate over a copy.
      const std::vector<WebMessageReceived> receivers = state->receivers;
      for (const WebMessageReceived& receiver : receivers) receiver(message);
    }
  });
}

void WebView2View::ReadBackground(const std::shared_ptr<State>& state, ICoreWebView2* view) {
  state->background = Background::kReading;
  ICoreWebView2ExecuteScriptCompletedHandler* handler =
      ExecuteScriptCallback::Create([state](HRESULT result, LPCWSTR json) {
        std::optional<OpaqueColour> colour;
        if (SUCCEEDED(result) && json != nullptr) colour = PageBackgroundFromJson(WideToUtf8(json));
        state->schedule([state, colour] {
          if (state->detached) return;
          // Late too: the colour still serves every later resize.
          if (colour && state->set_background) {
            state->set_background(COREWEBVIEW2_COLOR{255, colour->red, colour->green, colour->blue});
          }
          if (state->background == Background::kReading) ReleaseHeld(state);
        });
      });
  const std::wstring script = Utf8ToWide(kPageBackgroundScript);
  const HRESULT started = view->lpVtbl->ExecuteScript(view, script.c_str(), handler);
  handler->lpVtbl->Release(handler);
  if (FAILED(started)) {
    std::cerr << "tarnel: could not read the page's background colour (0x" << std::hex << started << std::dec << ")\n";
    ReleaseHeld(state);
    return;
  }
  // The page's messages never wait on a script that does not answer.
  if (state->later) {
    state->later(kBackgroundWait, [state] {
      if (state->detached || state->background != Background::kReading) return;
      ReleaseHeld(state);
    });
  }
}

void WebView2View::ReleaseHeld(const std::shared_ptr<State>& state) {
  state->background = Background::kRead;
  Deliver(state, std::exchange(state->held, {}));
}

}  // namespace tarnel::platform::win32::webview2
