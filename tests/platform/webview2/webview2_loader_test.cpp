#include "platform/win32/webview2/webview2_loader.h"

#include <gtest/gtest.h>

#include <memory>

#include "platform/win32/webview2/com_callback.h"
#include "platform/win32/webview2/webview2_callbacks.h"
#include "platform/win32/webview2/webview2_paths.h"
#include "webview2_fakes.h"

namespace tarnel::platform::win32::webview2 {
namespace {

std::wstring SystemFolder() {
  wchar_t buffer[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(buffer, MAX_PATH);
  return std::wstring(buffer, length);
}

TEST(WebView2LoaderTest, ExecutableFolderHoldsTheTests) {
  const std::optional<std::wstring> folder = ExecutableFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_FALSE(folder->empty());
  EXPECT_NE(folder->back(), L'\\');
  EXPECT_NE(GetFileAttributesW((*folder + L"\\tarnel_webview2_tests.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(WebView2LoaderTest, MissingDllOrExportIsReportedAndNeverInvokes) {
  bool invoked = false;
  ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler =
      EnvironmentCompletedCallback::Create([&](HRESULT, ICoreWebView2Environment*) { invoked = true; });
  const std::optional<std::wstring> folder = ExecutableFolder();
  ASSERT_TRUE(folder.has_value());
  EXPECT_EQ(CreateEnvironmentThroughLoader(LoaderDllPath(*folder + L"\\no-such-folder"), L"", handler),
            HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND));
  // A DLL that is there but is not the loader.
  EXPECT_EQ(CreateEnvironmentThroughLoader(SystemFolder() + L"\\version.dll", L"", handler),
            HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
  EXPECT_EQ(CreateEnvironmentThroughLoader(SystemFolder() + L"\\version.dll", L"", nullptr), E_POINTER);
  EXPECT_FALSE(invoked);
  handler->lpVtbl->Release(handler);
  EXPECT_EQ(LiveComCallbacks().load(), 0);
}

// No loader ships beside the test executable: the platform reports the
// runtime as missing, then completes with null, both later.
TEST(WebView2LoaderTest, PlatformOverTheRealLoaderReportsMissingRuntime) {
  const std::optional<std::wstring> folder = ExecutableFolder();
  ASSERT_TRUE(folder.has_value());
  ASSERT_EQ(GetFileAttributesW(LoaderDllPath(*folder).c_str()), INVALID_FILE_ATTRIBUTES);
  testing::FakeScheduler scheduler;
  std::vector<std::string> events;
  WebView2BrowserPlatform platform([] { return HWND(nullptr); }, scheduler.Scheduler(), [](const std::string&) {},
                                   [&] { events.push_back("missing"); }, LoaderEnvironmentFactory());
  platform.SetUserDataKey("wine-test");
  platform.CreateEnvironment([&](std::shared_ptr<IWebEnvironment> environment) {
    events.push_back(environment ? "environment" : "null");
  });
  EXPECT_TRUE(events.empty());
  scheduler.RunAll();
  EXPECT_EQ(events, (std::vector<std::string>{"missing", "null"}));
  EXPECT_EQ(LiveComCallbacks().load(), 0);
}

}  // namespace
}  // namespace tarnel::platform::win32::webview2
