// The controller and view over the fakes: bounds, settings, messages, navigation.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "webview2_host_fixture.h"

namespace tarnel::platform::win32::webview2 {
namespace {

TEST_F(WebView2HostTest, ControllerArrivesLaterVisibleWithBackground) {
  std::shared_ptr<IWebEnvironment> environment = MakeEnvironment();
  ASSERT_NE(environment, nullptr);
  int calls = 0;
  std::shared_ptr<IWebController> result;
  environment->CreateController([&](std::shared_ptr<IWebController> controller) {
    ++calls;
    result = controller;
  });
  ASSERT_EQ(environment_.parents.size(), 1u);
  EXPECT_EQ(environment_.parents[0], ParentWindow());
  environment_.CompleteController(S_OK, controller_.Get());
  EXPECT_EQ(calls, 0);
  scheduler_.RunAll();
  ASSERT_EQ(calls, 1);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(controller_.visibility, (std::vector<BOOL>{TRUE}));
  ASSERT_EQ(controller_.backgrounds.size(), 1u);
  EXPECT_EQ(controller_.backgrounds[0].A, 255);
  std::shared_ptr<IWebView> view = result->GetCoreWebView2();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view, result->GetCoreWebView2());
  view->Navigate("https://vendor.example/");
  EXPECT_FALSE(controller_.background_after_navigation);
  view.reset();
  result.reset();
  EXPECT_EQ(controller_.closes, 1);
}

TEST_F(WebView2HostTest, NoBackgroundWithoutController2) {
  FakeController plain(&view_, false);
  std::shared_ptr<IWebController> result = MakeController(&plain);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(plain.visibility, (std::vector<BOOL>{TRUE}));
  EXPECT_TRUE(plain.backgrounds.empty());
  result.reset();
  EXPECT_EQ(plain.References(), 1u);
}

TEST_F(WebView2HostTest, ControllerFailuresGiveNull) {
  std::shared_ptr<IWebEnvironment> environment = MakeEnvironment();
  std::vector<std::shared_ptr<IWebController>> results;
  int calls = 0;
  auto record = [&](std::shared_ptr<IWebController> controller) {
    ++calls;
    results.push_back(controller);
  };
  // Completed with a failure.
  environment->CreateController(record);
  environment_.CompleteController(E_FAIL, nullptr);
  // Refused at once.
  environment_.create_result = E_UNEXPECTED;
  environment->CreateController(record);
  environment_.create_result = S_OK;
  // A controller without a view.
  controller_.get_webview_result = E_FAIL;
  environment->CreateController(record);
  environment_.CompleteController(S_OK, controller_.Get());
  EXPECT_EQ(calls, 0);
  scheduler_.RunAll();
  EXPECT_EQ(calls, 3);
  for (const auto& result : results) EXPECT_EQ(result, nullptr);
  EXPECT_EQ(controller_.closes, 1);
}

TEST_F(WebView2HostTest, BoundsFollowPutBounds) {
  std::shared_ptr<IWebController> controller = MakeController();
  ASSERT_NE(controller, nullptr);
  controller->PutBounds(Rect{10, 20, 810, 620});
  ASSERT_EQ(controller_.bounds.size(), 1u);
  EXPECT_EQ(controller_.bounds[0].left, 10);
  EXPECT_EQ(controller_.bounds[0].top, 20);
  EXPECT_EQ(controller_.bounds[0].right, 810);
  EXPECT_EQ(controller_.bounds[0].bottom, 620);
}

TEST_F(WebView2HostTest, SettingsPassThrough) {
  std::shared_ptr<IWebController> controller = MakeController();
  IWebViewSettings& settings = controller->GetCoreWebView2()->GetSettings();
  settings.PutIsScriptEnabled(true);
  settings.PutAreDefaultScriptDialogsEnabled(false);
  settings.PutIsWebMessageEnabled(true);
  settings.PutAreDevToolsEnabled(false);
  settings.PutAreDefaultContextMenusEnabled(false);
  EXPECT_EQ(settings_.calls,
            (std::vector<std::string>{"IsScriptEnabled=1", "AreDefaultScriptDialogsEnabled=0", "IsWebMessageEnabled=1",
                                      "AreDevToolsEnabled=0", "AreDefaultContextMenusEnabled=0"}));
}

TEST_F(WebView2HostTest, MessagesFromTheTrustedOriginArriveLater) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  EXPECT_EQ(view_.navigations, (std::vector<std::wstring>{L"https://vendor.example/start?x=1"}));
  FakeMessageArgs text(L"https://vendor.example/other/page#x", L"{\"action\":\"download\"}");
  view_.RaiseWebMessage(text.Get());
  EXPECT_TRUE(messages_.empty());
  scheduler_.RunAll();
  ASSERT_EQ(messages_.size(), 1u);
  EXPECT_EQ(messages_[0], std::optional<std::string>("{\"action\":\"download\"}"));
  EXPECT_EQ(text.References(), 1u);
}

TEST_F(WebView2HostTest, MessagesFromAnotherOriginAreDropped) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  for (const wchar_t* source :
       {L"https://evil.example/", L"http://vendor.example/", L"https://vendor.example:8443/", L"about:blank", L""}) {
    FakeMessageArgs message(source, L"hello");
    view_.RaiseWebMessage(message.Get());
    EXPECT_EQ(message.string_reads, 0) << "read a message from " << WideToUtf8(source);
  }
  scheduler_.RunAll();
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WebView2HostTest, NothingIsTrustedBeforeTheFirstNavigation) {
  std::shared_ptr<IWebController> controller = MakeController();
  std::shared_ptr<IWebView> view = controller->GetCoreWebView2();
  view->AddWebMessageReceived([this](const std::optional<std::string>& text) { messages_.push_back(text); });
  FakeMessageArgs message(L"https://vendor.example/", L"hello");
  view_.RaiseWebMessage(message.Get());
  scheduler_.RunAll();
  EXPECT_TRUE(messages_.empty());
}

TEST_F(WebView2HostTest, NonStringAndNonAsciiMessages) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  FakeMessageArgs object(L"https://vendor.example/", std::nullopt);
  FakeMessageArgs accented(L"https://vendor.example/", std::wstring(L"caf\u00e9 \u2713 \U0001F600"));
  view_.RaiseWebMessage(object.Get());
  view_.RaiseWebMessage(accented.Get());
  scheduler_.RunAll();
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_EQ(messages_[0], std::nullopt);
  EXPECT_EQ(messages_[1], std::optional<std::string>("caf\xC3\xA9 \xE2\x9C\x93 \xF0\x9F\x98\x80"));
}

TEST_F(WebView2HostTest, EveryReceiverGetsEachMessageOverOneRegistration) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  std::vector<std::optional<std::string>> second;
  view->AddWebMessageReceived([&](const std::optional<std::string>& text) { second.push_back(text); });
  EXPECT_EQ(view_.message_registrations, 1);
  FakeMessageArgs message(L"https://vendor.example/", L"ping");
  view_.RaiseWebMessage(message.Get());
  scheduler_.RunAll();
  EXPECT_EQ(messages_.size(), 1u);
  EXPECT_EQ(second.size(), 1u);
}

TEST_F(WebView2HostTest, EveryStringTheRuntimeHandsOutIsFreed) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  FakeMessageArgs text(L"https://vendor.example/", L"hello");
  FakeMessageArgs object(L"https://vendor.example/", std::nullopt);
  FakeMessageArgs foreign(L"https://evil.example/", L"hello");
  FakeNewWindowArgs web(L"https://help.vendor.example/");
  FakeNewWindowArgs script(L"javascript:void(0)");
  FakeNavigationArgs same(L"https://vendor.example/next", true);
  FakeNavigationArgs other(L"https://other.example/", true);
  testing::ComAllocationSpy spy;
  ASSERT_TRUE(spy.Register());
  for (FakeMessageArgs* args : {&text, &object, &foreign}) view_.RaiseWebMessage(args->Get());
  for (FakeNewWindowArgs* args : {&web, &script}) view_.RaiseNewWindow(args->Get());
  for (FakeNavigationArgs* args : {&same, &other}) view_.RaiseNavigationStarting(args->Get());
  spy.Revoke();
  // Three sources, one message text, two window addresses, two navigation addresses.
  EXPECT_EQ(spy.Allocations(), 8u);
  EXPECT_EQ(spy.Outstanding(), 0u);
  scheduler_.RunAll();
}

TEST_F(WebView2HostTest, PostedJsonReachesTheViewAsUtf16) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  view->PostWebMessageAsJson(
      "{\"state\":\"t\xC3\xA9l\xC3\xA9"
      "charg\xC3\xA9\",\"n\":\"\xF0\x9F\x98\x80\"}");
  ASSERT_EQ(view_.posted_json.size(), 1u);
  EXPECT_EQ(view_.posted_json[0], L"{\"state\":\"t\u00e9l\u00e9charg\u00e9\",\"n\":\"\U0001F600\"}");
}

TEST_F(WebView2HostTest, NewWindowsAreHandledAndWebAddressesHandedOver) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  FakeNewWindowArgs web(L"https://help.vendor.example/faq");
  FakeNewWindowArgs script(L"javascript:alert(1)");
  view_.RaiseNewWindow(web.Get());
  view_.RaiseNewWindow(script.Get());
  EXPECT_EQ(web.handled, (std::vector<BOOL>{TRUE}));
  EXPECT_EQ(script.handled, (std::vector<BOOL>{TRUE}));
  EXPECT_EQ(web.new_windows_given, 0);
  EXPECT_TRUE(opened_.empty());
  scheduler_.RunAll();
  EXPECT_EQ(opened_, (std::vector<std::string>{"https://help.vendor.example/faq"}));
}

TEST_F(WebView2HostTest, ForeignNavigationsAreCancelled) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  FakeNavigationArgs same(L"https://vendor.example/next", false);
  FakeNavigationArgs clicked(L"https://other.example/page", true);
  FakeNavigationArgs scripted(L"https://other.example/page", false);
  FakeNavigationArgs file(L"file:///c:/windows/win.ini", true);
  for (FakeNavigationArgs* args : {&same, &clicked, &scripted, &file}) view_.RaiseNavigationStarting(args->Get());
  EXPECT_TRUE(same.cancels.empty());
  EXPECT_EQ(clicked.cancels, (std::vector<BOOL>{TRUE}));
  EXPECT_EQ(scripted.cancels, (std::vector<BOOL>{TRUE}));
  EXPECT_EQ(file.cancels, (std::vector<BOOL>{TRUE}));
  EXPECT_TRUE(opened_.empty());
  scheduler_.RunAll();
  EXPECT_EQ(opened_, (std::vector<std::string>{"https://other.example/page"}));
}

TEST_F(WebView2HostTest, HandlersAreGoneWhenTheControllerGoes) {
  std::shared_ptr<IWebView> view;
  std::shared_ptr<IWebController> controller = MakeNavigatedView(view);
  EXPECT_EQ(view_.HandlersHeld(), 3);
  controller.reset();
  EXPECT_EQ(view_.HandlersHeld(), 0);
  EXPECT_EQ(view_.removals, 3);
  EXPECT_EQ(controller_.closes, 1);
  // The core may still hold the view: it does nothing now.
  view->Navigate("https://vendor.example/again");
  view->PostWebMessageAsJson("{}");
  EXPECT_EQ(view_.navigations.size(), 1u);
  EXPECT_TRUE(view_.posted_json.empty());
}

TEST_F(WebView2HostTest, DroppedCompletionsReleaseWhatTheyHeld) {
  std::shared_ptr<IWebEnvironment> environment = MakeEnvironment();
  environment->CreateController([](std::shared_ptr<IWebController>) { ADD_FAILURE() << "delivered a dropped task"; });
  environment_.CompleteController(S_OK, controller_.Get());
  EXPECT_GT(controller_.References(), 1u);
  scheduler_.Drop();
}

}  // namespace
}  // namespace tarnel::platform::win32::webview2
