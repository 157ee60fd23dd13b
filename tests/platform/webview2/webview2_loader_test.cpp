#include "platform/win32/webview2/webview2_loader.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "fake_runtime/fake_runtime_record.h"
#include "platform/win32/webview2/com_callback.h"
#include "platform/win32/webview2/webview2_callbacks.h"
#include "platform/win32/webview2/webview2_paths.h"
#include "platform/win32/webview2/webview2_registry.h"
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
  platform.CreateEnvironment(
      [&](std::shared_ptr<IWebEnvironment> environment) { events.push_back(environment ? "environment" : "null"); });
  EXPECT_TRUE(events.empty());
  scheduler.RunAll();
  EXPECT_EQ(events, (std::vector<std::string>{"missing", "null"}));
  EXPECT_EQ(LiveComCallbacks().load(), 0);
}

// What the fake runtime DLL recorded, read from the copy loaded from `path`.
const FakeRuntimeRecord* RecordOf(const std::wstring& path) {
  HMODULE module = GetModuleHandleW(path.c_str());
  if (module == nullptr) return nullptr;
  using Reader = const FakeRuntimeRecord* (*)();
  return reinterpret_cast<Reader>(reinterpret_cast<void*>(GetProcAddress(module, "FakeRuntimeRecordOf")))();
}

void CompleteWith(const std::wstring& path, HRESULT result) {
  HMODULE module = LoadLibraryW(path.c_str());
  ASSERT_NE(module, nullptr);
  using Setter = void (*)(HRESULT);
  reinterpret_cast<Setter>(reinterpret_cast<void*>(GetProcAddress(module, "FakeRuntimeCompleteWith")))(result);
}

// Copies of the fake DLL where the loader (beside an "executable") and an
// installed runtime version would be. Each copy is its own module.
class LoaderChainTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::optional<std::wstring> here = ExecutableFolder();
    ASSERT_TRUE(here.has_value());
    fake_ = *here + L"\\fake_webview2_runtime.dll";
    ASSERT_NE(GetFileAttributesW(fake_.c_str()), INVALID_FILE_ATTRIBUTES);
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    // A fresh root per test: loaded DLLs cannot be deleted while loaded.
    root_ = std::wstring(temp) + L"tarnel_wv2_chain_" + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(++counter_);
    withLoader_ = root_ + L"\\app";
    withoutLoader_ = root_ + L"\\bare";
    runtimeRoot_ = root_ + L"\\EdgeWebView \u00e9";
    for (const std::wstring& folder :
         {root_, withLoader_, withoutLoader_, runtimeRoot_, runtimeRoot_ + L"\\131.0.2903.70",
          runtimeRoot_ + L"\\131.0.2903.70\\EBWebView", runtimeRoot_ + L"\\131.0.2903.70\\EBWebView\\x64"}) {
      CreateDirectoryW(folder.c_str(), nullptr);
    }
    loader_ = LoaderDllPath(withLoader_);
    runtime_ = EmbeddedBrowserDllPath(runtimeRoot_, L"131.0.2903.70");
    ASSERT_TRUE(CopyFileW(fake_.c_str(), loader_.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(fake_.c_str(), runtime_.c_str(), FALSE));
  }

  // Starts one creation through `factory`; the results of the start and of the completion.
  std::pair<HRESULT, std::optional<HRESULT>> Start(const EnvironmentFactory& factory, const std::wstring& folder) {
    std::optional<HRESULT> completed;
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler =
        EnvironmentCompletedCallback::Create([&](HRESULT result, ICoreWebView2Environment*) { completed = result; });
    const HRESULT started = factory(folder, handler);
    handler->lpVtbl->Release(handler);
    return {started, completed};
  }

  std::optional<std::wstring> FindRuntime() const { return FindRuntimeDllIn({root_ + L"\\none", runtimeRoot_}); }

  static inline int counter_ = 0;
  std::wstring fake_, root_, withLoader_, withoutLoader_, runtimeRoot_, loader_, runtime_;
};

TEST_F(LoaderChainTest, TheLoaderBesideTheExecutableComesFirst) {
  CompleteWith(loader_, HRESULT_FROM_WIN32(ERROR_BUSY));
  const auto [started, completed] =
      Start(LoaderEnvironmentFactory(withLoader_, [this] { return FindRuntime(); }), L"C:\\data \u4e2d");
  EXPECT_EQ(started, S_OK);
  EXPECT_EQ(completed, HRESULT_FROM_WIN32(ERROR_BUSY));
  const FakeRuntimeRecord* loader = RecordOf(loader_);
  ASSERT_NE(loader, nullptr);
  EXPECT_EQ(loader->loaderCalls, 1);
  EXPECT_FALSE(loader->hadBrowserFolder);
  EXPECT_FALSE(loader->hadOptions);
  EXPECT_STREQ(loader->userDataFolder, L"C:\\data \u4e2d");
  EXPECT_EQ(RecordOf(runtime_), nullptr) << "the runtime DLL was loaded although the loader was there";
  EXPECT_EQ(LiveComCallbacks().load(), 0);
}

TEST_F(LoaderChainTest, WithoutALoaderTheInstalledRuntimeIsStartedDirectly) {
  CompleteWith(runtime_, E_ABORT);
  const auto [started, completed] =
      Start(LoaderEnvironmentFactory(withoutLoader_, [this] { return FindRuntime(); }), L"C:\\data");
  EXPECT_EQ(started, S_OK);
  EXPECT_EQ(completed, E_ABORT);
  const FakeRuntimeRecord* runtime = RecordOf(runtime_);
  ASSERT_NE(runtime, nullptr);
  EXPECT_EQ(runtime->runtimeCalls, 1);
  EXPECT_EQ(runtime->loaderCalls, 0);
  EXPECT_TRUE(runtime->joinRunningInstance);
  EXPECT_EQ(runtime->runtimeKind, kInstalledRuntime);
  EXPECT_FALSE(runtime->hadOptions);
  EXPECT_STREQ(runtime->userDataFolder, L"C:\\data");

  // An empty data folder is passed as none, so the runtime picks its default.
  Start(LoaderEnvironmentFactory(std::nullopt, [this] { return FindRuntime(); }), L"");
  EXPECT_EQ(runtime->runtimeCalls, 2);
  EXPECT_STREQ(runtime->userDataFolder, L"<null>");
}

TEST_F(LoaderChainTest, NeitherWayFoundReportsTheRuntimeMissing) {
  const auto [started, completed] =
      Start(LoaderEnvironmentFactory(withoutLoader_, [] { return std::optional<std::wstring>(); }), L"");
  EXPECT_TRUE(IsUnavailable(started));
  EXPECT_FALSE(completed.has_value());
  // A runtime folder whose DLL lacks the export is no runtime either.
  const auto [wrong, never] =
      Start(LoaderEnvironmentFactory(withoutLoader_,
                                     [] { return std::optional<std::wstring>(SystemFolder() + L"\\version.dll"); }),
            L"");
  EXPECT_EQ(wrong, HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND));
  EXPECT_FALSE(never.has_value());
  EXPECT_FALSE(IsUnavailable(E_FAIL));
}

}  // namespace
}  // namespace tarnel::platform::win32::webview2
