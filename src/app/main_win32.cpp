// Process entry on Windows: the one application object, run on the Win32
// platform with WebView2 as its browser.
#include <chrono>
#include <cstdio>
#include <exception>
#include <functional>

#include "app/tarnel_app.h"
#include "platform/win32/webview2/webview2_host.h"
#include "platform/win32/webview2/webview2_loader.h"
#include "platform/win32/win32_platform.h"
#include "service/curl_handles.h"

namespace {

tarnel::app::CTarnelApp theApp;

// What the user reads when no WebView2 runtime can be started: without it
// there is no page to show.
constexpr char kRuntimeMissing[] =
    "Tarnel needs the Microsoft Edge WebView2 Runtime, which is missing or cannot be started on this computer.\n\n"
    "Install it from https://go.microsoft.com/fwlink/p/?LinkId=2124703 and start Tarnel again.";
constexpr char kCaption[] = "Tarnel";
// The exit code when no WebView2 runtime could be started.
constexpr int kExitRuntimeMissing = 2;

}  // namespace

int main() {
  using namespace tarnel::platform;
  // libcurl's global state is set up once, before any thread starts, and torn
  // down after the last transfer has ended.
  const tarnel::service::CurlGlobal curl;
  bool runtimeMissing = false;
  try {
    win32::Win32Platform win32;
    // Without a runtime there is no page to show: the user is told why and
    // the program ends, rather than leaving an invisible window behind.
    const auto onRuntimeMissing = [&win32, &runtimeMissing] {
      runtimeMissing = true;
      win32.window().MessageBox(kRuntimeMissing, kCaption, MB_OK);
      win32.window().EndDialog(IDCANCEL);
    };
    win32::webview2::WebView2BrowserPlatform browser(
        [&win32] { return win32.window().hwnd(); }, win32.dispatcher().Scheduler(),
        [&win32](const std::string& url) { win32.shell().OpenUrl(url); }, onRuntimeMissing,
        win32::webview2::LoaderEnvironmentFactory(),
        [&win32](std::chrono::milliseconds delay, std::function<void()> task) {
          win32.dispatcher().PostAfter(delay, std::move(task));
        });
    Platform platform = win32.MakePlatform(browser);
    theApp.SetPlatform(&platform);
    theApp.InitInstance();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarnel: %s\n", error.what());
    return 1;
  }
  return runtimeMissing ? kExitRuntimeMissing : 0;
}
