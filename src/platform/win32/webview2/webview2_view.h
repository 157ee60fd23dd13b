#pragma once
// IWebView and IWebViewSettings over ICoreWebView2.
//
// The view keeps the main frame on the origin of the address it was asked to
// navigate to: other navigations are cancelled (one the user started to an
// http(s) address opens in the desktop's browser), new windows are never
// opened here, and page messages are taken only from documents of that
// origin. Page messages and hand-overs reach their receivers through the UI
// scheduler, never inside the runtime's event call. UI thread only.
//
// The page's first message (it asks for its window size, which brings the
// window into view) waits until the page's background colour has been read
// and handed to `set_background`, at most kBackgroundWait; messages arriving
// meanwhile follow it in order.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/browser.h"
#include "platform/win32/webview2/com_ptr.h"
#include "platform/win32/webview2/webview2_com.h"

namespace tarnel::platform::win32::webview2 {

// Runs a task later on the UI thread.
using UiScheduler = std::function<void(std::function<void()>)>;
// Opens an address in the desktop's default browser.
using OpenInBrowser = std::function<void(const std::string& url)>;
// Runs a task on the UI thread after a pause; called on the UI thread.
using DelayedScheduler = std::function<void(std::chrono::milliseconds, std::function<void()>)>;
// Makes a colour the browser's default background.
using SetBackground = std::function<void(COREWEBVIEW2_COLOR)>;

// The longest the page's first message waits for its background colour.
inline constexpr std::chrono::milliseconds kBackgroundWait{250};

class WebView2Settings final : public IWebViewSettings {
 public:
  // `settings` may be null (the runtime gave none): then nothing is set.
  explicit WebView2Settings(ComPtr<ICoreWebView2Settings> settings) : settings_(std::move(settings)) {}
  void PutIsScriptEnabled(bool enabled) override;
  void PutAreDefaultScriptDialogsEnabled(bool enabled) override;
  void PutIsWebMessageEnabled(bool enabled) override;
  void PutAreDevToolsEnabled(bool enabled) override;
  void PutAreDefaultContextMenusEnabled(bool enabled) override;

 private:
  ComPtr<ICoreWebView2Settings> settings_;
};

class WebView2View final : public IWebView {
 public:
  // Without `set_background` messages are never held; without `later` a held
  // message waits for the colour however long it takes to be read.
  WebView2View(ComPtr<ICoreWebView2> view, UiScheduler schedule, OpenInBrowser open_in_browser,
               SetBackground set_background = {}, DelayedScheduler later = {});
  ~WebView2View() override;
  WebView2View(const WebView2View&) = delete;
  WebView2View& operator=(const WebView2View&) = delete;

  IWebViewSettings& GetSettings() override { return settings_; }
  void Navigate(const std::string& url) override;
  void AddWebMessageReceived(WebMessageReceived handler) override;
  void PostWebMessageAsJson(const std::string& json) override;

  // Unregisters the event handlers; the view does nothing more afterwards.
  void Detach();

 private:
  // Shared with the event handlers, which the runtime may keep a little longer.
  enum class Background { kUnread, kReading, kRead };
  struct State {
    UiScheduler schedule;
    OpenInBrowser open_in_browser;
    SetBackground set_background;
    DelayedScheduler later;
    std::string trusted_origin;
    std::vector<WebMessageReceived> receivers;
    Background background = Background::kUnread;
    std::vector<std::optional<std::string>> held;  // messages waiting for the colour
    bool detached = false;
  };

  static void OnNavigationStarting(const std::shared_ptr<State>& state, ICoreWebView2NavigationStartingEventArgs* args);
  static void OnNewWindowRequested(const std::shared_ptr<State>& state, ICoreWebView2NewWindowRequestedEventArgs* args);
  static void OnWebMessageReceived(const std::shared_ptr<State>& state, ICoreWebView2* sender,
                                   ICoreWebView2WebMessageReceivedEventArgs* args);
  static void HandOver(const std::shared_ptr<State>& state, const std::string& url);
  static void Deliver(const std::shared_ptr<State>& state, std::vector<std::optional<std::string>> messages);
  static void ReadBackground(const std::shared_ptr<State>& state, ICoreWebView2* view);
  static void ReleaseHeld(const std::shared_ptr<State>& state);

  ComPtr<ICoreWebView2> view_;
  WebView2Settings settings_;
  std::shared_ptr<State> state_;
  EventRegistrationToken navigationToken_;
  EventRegistrationToken newWindowToken_;
  EventRegistrationToken messageToken_;
  bool navigationRegistered_ = false;
  bool newWindowRegistered_ = false;
  bool messageRegistered_ = false;
};

}  // namespace tarnel::platform::win32::webview2
