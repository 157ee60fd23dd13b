// The page's background colour: read by script when the page first speaks,
// made the browser's default background before that first message is handled.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/page_background.h"
#include "platform/wide_text.h"
#include "webview2_host_fixture.h"

namespace tarnel::platform::win32::webview2 {
namespace {

class PageBackgroundHost : public WebView2HostTest {
 protected:
  PageBackgroundHost() {
    view_.scripts_wait = true;
    later_ = [this](std::chrono::milliseconds delay, std::function<void()> task) {
      delays_.push_back(delay);
      delayed_.push_back(std::move(task));
    };
  }

  // A navigated view whose receiver notes how many backgrounds were set by the time each message arrived.
  std::shared_ptr<IWebController> MakeView(std::shared_ptr<IWebView>& view) {
    std::shared_ptr<IWebController> controller = MakeController();
    view = controller->GetCoreWebView2();
    view->AddWebMessageReceived([this](const std::optional<std::string>& text) {
      messages_.push_back(text);
      backgroundsAtMessage_.push_back(controller_.backgrounds.size());
    });
    view->Navigate("https://vendor.example/");
    return controller;
  }

  void Raise(const wchar_t* text) {
    FakeMessageArgs message(L"https://vendor.example/", std::wstring(text));
    view_.RaiseWebMessage(message.Get());
  }

  std::vector<std::chrono::milliseconds> delays_;
  std::vector<std::function<void()>> delayed_;
  std::vector<std::size_t> backgroundsAtMessage_;
};

TEST_F(PageBackgroundHost, FirstMessagesWaitForThePageColourThenArriveInOrder) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeView(view);
  ASSERT_EQ(controller_.backgrounds.size(), 1u);  // the white one, before the page
  Raise(L"one");
  Raise(L"two");
  scheduler_.RunAll();
  EXPECT_TRUE(messages_.empty());
  ASSERT_EQ(view_.scripts.size(), 1u);
  EXPECT_EQ(view_.scripts[0], Utf8ToWide(kPageBackgroundScript));
  EXPECT_EQ(delays_, (std::vector<std::chrono::milliseconds>{kBackgroundWait}));

  view_.CompleteScript(S_OK, L"[16,24,32,255]");
  EXPECT_TRUE(messages_.empty());  // not inside the runtime's call
  scheduler_.RunAll();
  ASSERT_EQ(controller_.backgrounds.size(), 2u);
  EXPECT_EQ(controller_.backgrounds[1].R, 16);
  EXPECT_EQ(controller_.backgrounds[1].G, 24);
  EXPECT_EQ(controller_.backgrounds[1].B, 32);
  EXPECT_EQ(messages_, (std::vector<std::optional<std::string>>{"one", "two"}));
  EXPECT_EQ(backgroundsAtMessage_, (std::vector<std::size_t>{2, 2}));

  // Read once: later messages pass straight on, and the limit's run changes nothing.
  Raise(L"three");
  for (auto& task : delayed_) task();
  scheduler_.RunAll();
  EXPECT_EQ(messages_.size(), 3u);
  EXPECT_EQ(view_.scripts.size(), 1u);
}

TEST_F(PageBackgroundHost, AScriptThatFailsHoldsNothingBack) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeView(view);
  Raise(L"one");
  view_.CompleteScript(E_FAIL, nullptr);
  scheduler_.RunAll();
  EXPECT_EQ(messages_, (std::vector<std::optional<std::string>>{"one"}));
  EXPECT_EQ(controller_.backgrounds.size(), 1u);
}

TEST_F(PageBackgroundHost, ScriptRefusedAtOnce) {
  view_.script_result = E_UNEXPECTED;
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeView(view);
  Raise(L"one");
  scheduler_.RunAll();
  EXPECT_EQ(messages_, (std::vector<std::optional<std::string>>{"one"}));
  EXPECT_TRUE(delays_.empty());
}

TEST_F(PageBackgroundHost, TheLimitReleasesTheMessagesAndALateColourStillApplies) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeView(view);
  Raise(L"one");
  scheduler_.RunAll();
  ASSERT_EQ(delayed_.size(), 1u);
  delayed_[0]();
  scheduler_.RunAll();
  EXPECT_EQ(messages_, (std::vector<std::optional<std::string>>{"one"}));
  EXPECT_EQ(backgroundsAtMessage_, (std::vector<std::size_t>{1}));
  Raise(L"two");
  view_.CompleteScript(S_OK, L"[1,2,3,255]");
  scheduler_.RunAll();
  EXPECT_EQ(messages_, (std::vector<std::optional<std::string>>{"one", "two"}));
  ASSERT_EQ(controller_.backgrounds.size(), 2u);
  EXPECT_EQ(controller_.backgrounds[1].B, 3);
}

TEST_F(PageBackgroundHost, NoColourWithoutController2AndNoneAfterTheBrowserGoes) {
  FakeController plain(&view_, false);
  std::shared_ptr<IWebController> result = MakeController(&plain);
  ASSERT_NE(result, nullptr);
  std::shared_ptr<IWebView> view = result->GetCoreWebView2();
  view->AddWebMessageReceived([this](const std::optional<std::string>& text) { messages_.push_back(text); });
  view->Navigate("https://vendor.example/");
  Raise(L"one");
  scheduler_.RunAll();
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_TRUE(view_.scripts.empty());
  view.reset();
  result.reset();
  EXPECT_EQ(plain.References(), 1u);
}

TEST_F(PageBackgroundHost, AnswerAfterTheBrowserWentIsIgnored) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeView(view);
  Raise(L"one");
  view.reset();
  controller.reset();
  view_.CompleteScript(S_OK, L"[1,2,3,255]");
  for (auto& task : delayed_) task();
  scheduler_.RunAll();
  EXPECT_TRUE(messages_.empty());
  EXPECT_EQ(controller_.backgrounds.size(), 1u);
}

}  // namespace
}  // namespace tarnel::platform::win32::webview2
