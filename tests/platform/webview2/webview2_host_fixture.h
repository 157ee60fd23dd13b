#pragma once
// One WebView2 platform over recording fakes, with everything the host hands
// out recorded; shared by the host's test files.
#include "platform/win32/webview2/webview2_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "com_allocation_spy.h"
#include "platform/wide_text.h"
#include "platform/win32/webview2/com_callback.h"
#include "platform/win32/webview2/local_app_data.h"
#include "platform/win32/webview2/webview2_paths.h"
#include "webview2_fakes.h"

namespace tarnel::platform::win32::webview2 {

using testing::FakeController;
using testing::FakeEnvironment;
using testing::FakeMessageArgs;
using testing::FakeNavigationArgs;
using testing::FakeNewWindowArgs;
using testing::FakeScheduler;
using testing::FakeSettings;
using testing::FakeWebView;

inline HWND ParentWindow() { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x1234)); }

// One platform over fakes, with everything the host hands out recorded.
class WebView2HostTest : public ::testing::Test {
 protected:
  void TearDown() override {
    // Whatever the host took, it gave back.
    EXPECT_EQ(environment_.References(), 1u);
    EXPECT_EQ(controller_.References(), 1u);
    EXPECT_EQ(view_.References(), 1u);
    EXPECT_EQ(settings_.References(), 1u);
    EXPECT_EQ(view_.HandlersHeld(), 0);
    EXPECT_EQ(LiveComCallbacks().load(), 0);
  }

  std::unique_ptr<WebView2BrowserPlatform> MakePlatform(EnvironmentFactory factory) {
    return std::make_unique<WebView2BrowserPlatform>(
        ParentWindow, scheduler_.Scheduler(), [this](const std::string& url) { opened_.push_back(url); },
        [this] {
          events_.push_back("runtime missing");
          ++missing_;
        },
        std::move(factory), later_);
  }

  // A factory completing at once (inside the call) with `result` and the fake environment.
  EnvironmentFactory CompletingFactory(HRESULT result, bool with_environment = true) {
    return [this, result, with_environment](const std::wstring& folder,
                                            ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
      folders_.push_back(folder);
      handler->lpVtbl->Invoke(handler, result, with_environment ? environment_.Get() : nullptr);
      return S_OK;
    };
  }

  std::shared_ptr<IWebEnvironment> MakeEnvironment() {
    auto platform = MakePlatform(CompletingFactory(S_OK));
    std::shared_ptr<IWebEnvironment> result;
    platform->CreateEnvironment([&](std::shared_ptr<IWebEnvironment> environment) { result = environment; });
    scheduler_.RunAll();
    return result;
  }

  // A controller over `fake` (the fixture's own by default).
  std::shared_ptr<IWebController> MakeController(FakeController* fake = nullptr) {
    std::shared_ptr<IWebEnvironment> environment = MakeEnvironment();
    if (!environment) return nullptr;
    std::shared_ptr<IWebController> result;
    environment->CreateController([&](std::shared_ptr<IWebController> controller) { result = controller; });
    environment_.CompleteController(S_OK, (fake != nullptr ? fake : &controller_)->Get());
    scheduler_.RunAll();
    return result;
  }

  // A view navigated to the vendor page, with one message receiver.
  std::shared_ptr<IWebController> MakeNavigatedView(std::shared_ptr<IWebView>& view) {
    std::shared_ptr<IWebController> controller = MakeController();
    view = controller->GetCoreWebView2();
    view->AddWebMessageReceived([this](const std::optional<std::string>& text) { messages_.push_back(text); });
    view->Navigate("https://vendor.example/start?x=1");
    return controller;
  }

  FakeScheduler scheduler_;
  // What the host asks to run after a pause; empty: no delayed runs.
  DelayedScheduler later_;
  FakeSettings settings_;
  FakeWebView view_{&settings_};
  FakeController controller_{&view_, true};
  FakeEnvironment environment_;
  std::vector<std::string> opened_;
  std::vector<std::string> events_;
  std::vector<std::wstring> folders_;
  std::vector<std::optional<std::string>> messages_;
  int missing_ = 0;
};

}  // namespace tarnel::platform::win32::webview2
