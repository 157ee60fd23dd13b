#include "platform/win32/webview2/webview2_host.h"

#include <iostream>

#include "platform/win32/webview2/local_app_data.h"
#include "platform/win32/webview2/webview2_callbacks.h"
#include "platform/win32/webview2/webview2_paths.h"

namespace tarnel::platform::win32::webview2 {
namespace {

// One CreateEnvironment call across its tries; its completion is delivered
// once, whichever way it ends.
struct EnvironmentRequest {
  WebView2Context context;
  std::function<void()> onMissing;
  EnvironmentFactory create;
  DelayedScheduler later;
  std::wstring folder;
  EnvironmentCompleted completed;
  int attempts = 0;
};

void LogResult(const char* what, HRESULT result) {
  std::cerr << "tarnel: " << what << " (0x" << std::hex << static_cast<unsigned long>(result) << std::dec << ")\n";
}

void Fail(const std::shared_ptr<EnvironmentRequest>& request) {
  if (!request->completed) return;
  request->context.schedule([done = std::exchange(request->completed, nullptr), onMissing = request->onMissing] {
    if (onMissing) onMissing();
    done(nullptr);
  });
}

void Start(const std::shared_ptr<EnvironmentRequest>& request);

void RetryOrFail(const std::shared_ptr<EnvironmentRequest>& request, HRESULT result) {
  if (request->attempts >= kEnvironmentAttempts) {
    LogResult("the WebView2 runtime did not start", result);
    Fail(request);
    return;
  }
  LogResult("the WebView2 runtime did not start, trying again", result);
  const std::chrono::milliseconds pause = EnvironmentRetryPause(request->attempts);
  // Never from inside the runtime's call: first back to the UI thread.
  request->context.schedule([request, pause] {
    if (request->later) {
      request->later(pause, [request] { Start(request); });
    } else {
      Start(request);
    }
  });
}

void Start(const std::shared_ptr<EnvironmentRequest>& request) {
  if (!request->completed) return;
  ++request->attempts;
  ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler =
      EnvironmentCompletedCallback::Create([request](HRESULT result, ICoreWebView2Environment* created) {
        if (FAILED(result) || created == nullptr) {
          RetryOrFail(request, FAILED(result) ? result : E_POINTER);
          return;
        }
        if (!request->completed) return;
        ComPtr<ICoreWebView2Environment> environment = ComPtr<ICoreWebView2Environment>::Share(created);
        request->context.schedule(
            [done = std::exchange(request->completed, nullptr), environment, context = request->context] {
              done(std::make_shared<WebView2Environment>(environment, context));
            });
      });
  const HRESULT started = request->create(request->folder, handler);
  handler->lpVtbl->Release(handler);
  // No runtime to start: trying again would find none either.
  if (FAILED(started)) {
    LogResult("the WebView2 runtime was not found", started);
    Fail(request);
  }
}

}  // namespace

WebView2BrowserPlatform::WebView2BrowserPlatform(std::function<HWND()> parent_window, UiScheduler schedule,
                                                 OpenInBrowser open_in_browser,
                                                 std::function<void()> on_runtime_missing,
                                                 EnvironmentFactory create_environment, DelayedScheduler schedule_later)
    : context_{std::move(parent_window), std::move(schedule), std::move(open_in_browser), std::move(schedule_later)},
      onRuntimeMissing_(std::move(on_runtime_missing)),
      createEnvironment_(std::move(create_environment)) {}

std::optional<std::wstring> WebView2BrowserPlatform::UserDataFolderForKey() const {
  const std::optional<std::wstring> localAppData = LocalAppDataFolder();
  if (!localAppData) return std::nullopt;
  return UserDataFolder(*localAppData, key_);
}

void WebView2BrowserPlatform::CreateEnvironment(EnvironmentCompleted completed) {
  if (!context_.schedule) return;
  auto request = std::make_shared<EnvironmentRequest>();
  request->context = context_;
  request->onMissing = onRuntimeMissing_;
  request->create = createEnvironment_;
  request->later = context_.schedule_later;
  request->folder = UserDataFolderForKey().value_or(std::wstring());
  request->completed = std::move(completed);
  if (!request->create) {
    Fail(request);
    return;
  }
  Start(request);
}

}  // namespace tarnel::platform::win32::webview2
