#include "platform/win32/webview2/webview2_host.h"

#include <iostream>

#include "platform/win32/webview2/local_app_data.h"
#include "platform/win32/webview2/webview2_callbacks.h"
#include "platform/win32/webview2/webview2_paths.h"

namespace tarnel::platform::win32::webview2 {

WebView2BrowserPlatform::WebView2BrowserPlatform(std::function<HWND()> parent_window, UiScheduler schedule,
                                                 OpenInBrowser open_in_browser,
                                                 std::function<void()> on_runtime_missing,
                                                 EnvironmentFactory create_environment)
    : context_{std::move(parent_window), std::move(schedule), std::move(open_in_browser)},
      onRuntimeMissing_(std::move(on_runtime_missing)),
      createEnvironment_(std::move(create_environment)) {}

std::optional<std::wstring> WebView2BrowserPlatform::UserDataFolderForKey() const {
  const std::optional<std::wstring> localAppData = LocalAppDataFolder();
  if (!localAppData) return std::nullopt;
  return UserDataFolder(*localAppData, key_);
}

void WebView2BrowserPlatform::CreateEnvironment(EnvironmentCompleted completed) {
  const UiScheduler schedule = context_.schedule;
  if (!schedule) return;
  // Delivered once, whichever way creation ends.
  auto pending = std::make_shared<EnvironmentCompleted>(std::move(completed));
  const std::function<void()> onMissing = onRuntimeMissing_;
  auto fail = [schedule, pending, onMissing] {
    if (!*pending) return;
    schedule([done = std::exchange(*pending, nullptr), onMissing] {
      if (onMissing) onMissing();
      done(nullptr);
    });
  };
  if (!createEnvironment_) {
    fail();
    return;
  }
  const WebView2Context context = context_;
  ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler = EnvironmentCompletedCallback::Create(
      [schedule, pending, fail, context](HRESULT result, ICoreWebView2Environment* created) {
        if (FAILED(result) || created == nullptr) {
          std::cerr << "tarnel: the WebView2 runtime did not start (0x" << std::hex << result << std::dec << ")\n";
          fail();
          return;
        }
        if (!*pending) return;
        ComPtr<ICoreWebView2Environment> environment = ComPtr<ICoreWebView2Environment>::Share(created);
        schedule([done = std::exchange(*pending, nullptr), environment, context] {
          done(std::make_shared<WebView2Environment>(environment, context));
        });
      });
  const std::wstring folder = UserDataFolderForKey().value_or(std::wstring());
  const HRESULT started = createEnvironment_(folder, handler);
  handler->lpVtbl->Release(handler);
  if (FAILED(started)) {
    std::cerr << "tarnel: the WebView2 runtime was not found (0x" << std::hex << started << std::dec << ")\n";
    fail();
  }
}

}  // namespace tarnel::platform::win32::webview2
