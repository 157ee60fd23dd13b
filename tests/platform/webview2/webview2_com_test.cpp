#include "platform/win32/webview2/com_callback.h"

#include <gtest/gtest.h>

#include <unknwn.h>

#include "platform/win32/webview2/com_ptr.h"
#include "platform/win32/webview2/webview2_callbacks.h"
#include "platform/win32/webview2/webview2_com.h"
#include "platform/win32/webview2/webview2_policy.h"

namespace tarnel::platform::win32::webview2 {
namespace {

TEST(ComCallbackTest, AnswersIUnknownAndItsOwnInterfaceOnly) {
  ICoreWebView2WebMessageReceivedEventHandler* handler = WebMessageReceivedCallback::Create(nullptr);
  EXPECT_EQ(LiveComCallbacks().load(), 1);
  void* result = nullptr;
  EXPECT_EQ(handler->lpVtbl->QueryInterface(handler, IID_IUnknown, &result), S_OK);
  EXPECT_EQ(result, handler);
  EXPECT_EQ(handler->lpVtbl->QueryInterface(handler, kIidWebMessageReceivedEventHandler, &result), S_OK);
  EXPECT_EQ(result, handler);
  result = handler;
  EXPECT_EQ(handler->lpVtbl->QueryInterface(handler, kIidNewWindowRequestedEventHandler, &result), E_NOINTERFACE);
  EXPECT_EQ(result, nullptr);
  EXPECT_EQ(handler->lpVtbl->QueryInterface(handler, IID_IUnknown, nullptr), E_POINTER);
  // One reference of its own plus the two that QueryInterface handed out.
  EXPECT_EQ(handler->lpVtbl->Release(handler), 2u);
  EXPECT_EQ(handler->lpVtbl->Release(handler), 1u);
  EXPECT_EQ(LiveComCallbacks().load(), 1);
  EXPECT_EQ(handler->lpVtbl->Release(handler), 0u);
  EXPECT_EQ(LiveComCallbacks().load(), 0);
}

TEST(ComCallbackTest, InvokePassesItsArguments) {
  HRESULT seen = S_OK;
  ICoreWebView2Environment* seenEnvironment = nullptr;
  ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler =
      EnvironmentCompletedCallback::Create([&](HRESULT result, ICoreWebView2Environment* environment) {
        seen = result;
        seenEnvironment = environment;
      });
  auto* marker = reinterpret_cast<ICoreWebView2Environment*>(&seen);
  EXPECT_EQ(handler->lpVtbl->Invoke(handler, E_ABORT, marker), S_OK);
  EXPECT_EQ(seen, E_ABORT);
  EXPECT_EQ(seenEnvironment, marker);
  handler->lpVtbl->Release(handler);
  EXPECT_EQ(LiveComCallbacks().load(), 0);
}

TEST(ComCallbackTest, ComPtrBalancesItsReferences) {
  ICoreWebView2NavigationStartingEventHandler* handler = NavigationStartingCallback::Create(nullptr);
  {
    ComPtr<ICoreWebView2NavigationStartingEventHandler> shared =
        ComPtr<ICoreWebView2NavigationStartingEventHandler>::Share(handler);
    ComPtr<ICoreWebView2NavigationStartingEventHandler> copy = shared;
    ComPtr<IUnknown> unknown = copy.Query<IUnknown>(IID_IUnknown);
    EXPECT_TRUE(unknown);
    EXPECT_FALSE(copy.Query<IUnknown>(kIidWebView));
  }
  EXPECT_EQ(handler->lpVtbl->Release(handler), 0u);
  EXPECT_EQ(LiveComCallbacks().load(), 0);
}

TEST(WebView2PolicyTest, MessagesOnlyFromTheTrustedOrigin) {
  EXPECT_TRUE(AcceptsMessageFrom("https://vendor.example/a/b?c#d", "https://vendor.example"));
  EXPECT_TRUE(AcceptsMessageFrom("HTTPS://Vendor.Example:443/", "https://vendor.example"));
  EXPECT_FALSE(AcceptsMessageFrom("https://vendor.example.evil/", "https://vendor.example"));
  EXPECT_FALSE(AcceptsMessageFrom("http://vendor.example/", "https://vendor.example"));
  EXPECT_FALSE(AcceptsMessageFrom("about:blank", "https://vendor.example"));
  EXPECT_FALSE(AcceptsMessageFrom("https://vendor.example/", ""));
  EXPECT_FALSE(AcceptsMessageFrom("", ""));
}

TEST(WebView2PolicyTest, NavigationStaysOnTheTrustedOrigin) {
  const std::string trusted = "https://vendor.example";
  NavigationDecision same = DecideNavigation("https://vendor.example/next", trusted, true);
  EXPECT_FALSE(same.cancel);
  EXPECT_FALSE(same.open_outside);
  NavigationDecision clicked = DecideNavigation("https://other.example/", trusted, true);
  EXPECT_TRUE(clicked.cancel);
  EXPECT_EQ(clicked.open_outside, std::optional<std::string>("https://other.example/"));
  NavigationDecision scripted = DecideNavigation("https://other.example/", trusted, false);
  EXPECT_TRUE(scripted.cancel);
  EXPECT_FALSE(scripted.open_outside);
  NavigationDecision file = DecideNavigation("file:///c:/x", trusted, true);
  EXPECT_TRUE(file.cancel);
  EXPECT_FALSE(file.open_outside);
  EXPECT_TRUE(DecideNavigation("https://vendor.example/", "", false).cancel);
}

TEST(WebView2PolicyTest, NewWindowsOnlyForWebAddresses) {
  EXPECT_EQ(NewWindowTarget("http://a.example/x"), std::optional<std::string>("http://a.example/x"));
  EXPECT_FALSE(NewWindowTarget("javascript:alert(1)"));
  EXPECT_FALSE(NewWindowTarget("mailto:a@b.example"));
  EXPECT_FALSE(NewWindowTarget(""));
}

}  // namespace
}  // namespace tarnel::platform::win32::webview2
