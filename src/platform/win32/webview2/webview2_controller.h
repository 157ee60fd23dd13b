#pragma once
// IWebEnvironment and IWebController over ICoreWebView2Environment and
// ICoreWebView2Controller. Completions reach the caller through the UI
// scheduler, never inside the call that asked for them. UI thread only.
#include "platform/win32/windows_api.h"

#include <functional>
#include <memory>

#include "platform/browser.h"
#include "platform/win32/webview2/com_ptr.h"
#include "platform/win32/webview2/webview2_com.h"
#include "platform/win32/webview2/webview2_view.h"

namespace tarnel::platform::win32::webview2 {

// What the browser shows before the page's first paint: opaque white, the
// background of a page without one of its own, so a slow load never flashes
// another colour. Once the page runs, its own background takes over.
inline constexpr COREWEBVIEW2_COLOR kDefaultBackground{255, 255, 255, 255};

struct WebView2Context {
  std::function<HWND()> parent_window;
  UiScheduler schedule;
  OpenInBrowser open_in_browser;
  DelayedScheduler schedule_later;
};

class WebView2Controller final : public IWebController {
 public:
  // Shows the controller and sets the default background (when the runtime
  // has ICoreWebView2Controller2) before anything is navigated; the view
  // later sets the page's own.
  WebView2Controller(ComPtr<ICoreWebView2Controller> controller, ComPtr<ICoreWebView2> view,
                     const WebView2Context& context);
  ~WebView2Controller() override;
  WebView2Controller(const WebView2Controller&) = delete;
  WebView2Controller& operator=(const WebView2Controller&) = delete;

  std::shared_ptr<IWebView> GetCoreWebView2() override { return view_; }
  void PutBounds(const Rect& bounds) override;

 private:
  ComPtr<ICoreWebView2Controller> controller_;
  std::shared_ptr<WebView2View> view_;
};

class WebView2Environment final : public IWebEnvironment {
 public:
  WebView2Environment(ComPtr<ICoreWebView2Environment> environment, WebView2Context context)
      : environment_(std::move(environment)), context_(std::move(context)) {}

  void CreateController(ControllerCompleted completed) override;

 private:
  ComPtr<ICoreWebView2Environment> environment_;
  WebView2Context context_;
};

}  // namespace tarnel::platform::win32::webview2
