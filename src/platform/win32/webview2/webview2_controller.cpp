#include "platform/win32/webview2/webview2_controller.h"

#include <iostream>

#include "platform/win32/webview2/webview2_callbacks.h"

namespace tarnel::platform::win32::webview2 {

WebView2Controller::WebView2Controller(ComPtr<ICoreWebView2Controller> controller, ComPtr<ICoreWebView2> view,
                                       const WebView2Context& context)
    : controller_(std::move(controller)) {
  controller_->lpVtbl->put_IsVisible(controller_.Get(), TRUE);
  SetBackground setBackground;
  if (ComPtr<ICoreWebView2Controller2> controller2 = controller_.Query<ICoreWebView2Controller2>(kIidController2)) {
    controller2->lpVtbl->put_DefaultBackgroundColor(controller2.Get(), kDefaultBackground);
    setBackground = [controller2](COREWEBVIEW2_COLOR colour) {
      controller2->lpVtbl->put_DefaultBackgroundColor(controller2.Get(), colour);
    };
  }
  view_ = std::make_shared<WebView2View>(std::move(view), context.schedule, context.open_in_browser,
                                         std::move(setBackground), context.schedule_later);
}

WebView2Controller::~WebView2Controller() {
  // The core may keep the view longer; it stays inert once the browser is closed.
  view_->Detach();
  controller_->lpVtbl->Close(controller_.Get());
}

void WebView2Controller::PutBounds(const Rect& bounds) {
  const RECT rect{bounds.left, bounds.top, bounds.right, bounds.bottom};
  controller_->lpVtbl->put_Bounds(controller_.Get(), rect);
}

void WebView2Environment::CreateController(ControllerCompleted completed) {
  const UiScheduler schedule = context_.schedule;
  if (!schedule) return;
  // Delivered once, whichever way creation ends.
  auto pending = std::make_shared<ControllerCompleted>(std::move(completed));
  auto deliver = [schedule, pending](std::function<std::shared_ptr<IWebController>()> make) {
    if (!*pending) return;
    schedule([done = std::exchange(*pending, nullptr), make = std::move(make)] { done(make()); });
  };
  const WebView2Context context = context_;
  ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler =
      ControllerCompletedCallback::Create([deliver, context](HRESULT result, ICoreWebView2Controller* created) {
        ComPtr<ICoreWebView2Controller> controller = ComPtr<ICoreWebView2Controller>::Share(created);
        ComPtr<ICoreWebView2> view;
        if (SUCCEEDED(result) && controller &&
            SUCCEEDED(controller->lpVtbl->get_CoreWebView2(controller.Get(), view.Receive())) && view) {
          deliver([controller, view, context]() -> std::shared_ptr<IWebController> {
            return std::make_shared<WebView2Controller>(controller, view, context);
          });
          return;
        }
        std::cerr << "tarnel: WebView2 could not create the browser (0x" << std::hex << result << std::dec << ")\n";
        // A controller without its view is closed again.
        if (controller) controller->lpVtbl->Close(controller.Get());
        deliver([] { return nullptr; });
      });
  const HWND parent = context_.parent_window ? context_.parent_window() : nullptr;
  const HRESULT started = environment_->lpVtbl->CreateCoreWebView2Controller(environment_.Get(), parent, handler);
  handler->lpVtbl->Release(handler);
  if (FAILED(started)) {
    std::cerr << "tarnel: WebView2 refused to create the browser (0x" << std::hex << started << std::dec << ")\n";
    deliver([] { return nullptr; });
  }
}

}  // namespace tarnel::platform::win32::webview2
