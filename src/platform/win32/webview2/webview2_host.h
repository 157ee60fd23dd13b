#pragma once
// The browser platform of the Windows build: WebView2.
//
// Environment creation is started by an injected factory (the real one loads
// the WebView2 loader; tests pass fakes). When the runtime cannot be started,
// `on_runtime_missing` runs on the UI thread, then the completion with null.
// Every completion goes through the UI scheduler, never inside the call.
// A runtime that is found but fails to create an environment (it does so now
// and then on a busy machine) is tried again after a pause, a few times.
#include "platform/win32/windows_api.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/browser.h"
#include "platform/win32/webview2/webview2_com.h"
#include "platform/win32/webview2/webview2_controller.h"

namespace tarnel::platform::win32::webview2 {

// Starts creating an environment whose browser data live in
// `user_data_folder`; `handler` is invoked with the outcome unless the start
// itself fails (a failed HRESULT).
using EnvironmentFactory = std::function<HRESULT(const std::wstring& user_data_folder,
                                                 ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler)>;

// How many times environment creation is tried when it starts but fails.
inline constexpr int kEnvironmentAttempts = 3;
// The pause before the next try after `failed_attempts` failures.
inline std::chrono::milliseconds EnvironmentRetryPause(int failed_attempts) {
  return std::chrono::milliseconds(500) * failed_attempts;
}

class WebView2BrowserPlatform final : public IBrowserPlatform {
 public:
  WebView2BrowserPlatform(std::function<HWND()> parent_window, UiScheduler schedule, OpenInBrowser open_in_browser,
                          std::function<void()> on_runtime_missing, EnvironmentFactory create_environment,
                          DelayedScheduler schedule_later = {});

  void CreateEnvironment(EnvironmentCompleted completed) override;
  void SetUserDataKey(const std::string& key) override { key_ = key; }

  // The browser data folder for the key set so far; nothing when the local
  // application data folder is unknown (the runtime then picks its default).
  std::optional<std::wstring> UserDataFolderForKey() const;

 private:
  WebView2Context context_;
  std::function<void()> onRuntimeMissing_;
  EnvironmentFactory createEnvironment_;
  std::string key_;
};

}  // namespace tarnel::platform::win32::webview2
