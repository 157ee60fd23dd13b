// Creating the WebView2 environment: delivery, data folder, missing runtime, retries.
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

TEST_F(WebView2HostTest, EnvironmentArrivesLaterThroughTheScheduler) {
  auto platform = MakePlatform(CompletingFactory(S_OK));
  int calls = 0;
  std::shared_ptr<IWebEnvironment> result;
  platform->CreateEnvironment([&](std::shared_ptr<IWebEnvironment> environment) {
    ++calls;
    result = environment;
  });
  EXPECT_EQ(calls, 0);
  EXPECT_EQ(scheduler_.Pending(), 1u);
  scheduler_.RunAll();
  EXPECT_EQ(calls, 1);
  EXPECT_NE(result, nullptr);
  EXPECT_EQ(missing_, 0);
  result.reset();
}

TEST_F(WebView2HostTest, UserDataFolderFollowsTheKey) {
  auto platform = MakePlatform(CompletingFactory(S_OK));
  platform->SetUserDataKey("build/7");
  platform->CreateEnvironment([](std::shared_ptr<IWebEnvironment>) {});
  scheduler_.RunAll();
  const std::optional<std::wstring> localAppData = LocalAppDataFolder();
  ASSERT_TRUE(localAppData.has_value());
  ASSERT_EQ(folders_.size(), 1u);
  EXPECT_EQ(folders_[0], UserDataFolder(*localAppData, "build/7"));
  EXPECT_NE(folders_[0].find(L"build_7"), std::wstring::npos);
}

TEST_F(WebView2HostTest, FactoryFailureReportsMissingRuntimeThenNull) {
  auto platform = MakePlatform([](const std::wstring&, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*) {
    return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  });
  bool called = false;
  platform->CreateEnvironment([&](std::shared_ptr<IWebEnvironment> environment) {
    called = true;
    EXPECT_EQ(environment, nullptr);
    events_.push_back("completed");
  });
  EXPECT_FALSE(called);
  EXPECT_EQ(missing_, 0);
  scheduler_.RunAll();
  EXPECT_EQ(events_, (std::vector<std::string>{"runtime missing", "completed"}));
}

TEST_F(WebView2HostTest, FailedCreationIsTriedAgainAfterAPauseAndMaySucceed) {
  std::vector<HRESULT> outcomes = {E_FAIL, HRESULT_FROM_WIN32(ERROR_BUSY), S_OK};
  std::vector<std::chrono::milliseconds> pauses;
  auto platform = std::make_unique<WebView2BrowserPlatform>(
      ParentWindow, scheduler_.Scheduler(), [](const std::string&) {}, [this] { ++missing_; },
      [&](const std::wstring& folder, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
        folders_.push_back(folder);
        const HRESULT result = outcomes.at(folders_.size() - 1);
        handler->lpVtbl->Invoke(handler, result, SUCCEEDED(result) ? environment_.Get() : nullptr);
        return S_OK;
      },
      [&](std::chrono::milliseconds pause, std::function<void()> task) {
        pauses.push_back(pause);
        scheduler_.Scheduler()(std::move(task));
      });
  std::shared_ptr<IWebEnvironment> result;
  int calls = 0;
  platform->CreateEnvironment([&](std::shared_ptr<IWebEnvironment> environment) {
    ++calls;
    result = environment;
  });
  EXPECT_EQ(folders_.size(), 1u);  // the next try never starts inside the runtime's call
  scheduler_.RunAll();
  EXPECT_EQ(folders_.size(), 3u);
  EXPECT_EQ(folders_[1], folders_[0]);
  EXPECT_EQ(pauses,
            (std::vector<std::chrono::milliseconds>{std::chrono::milliseconds(500), std::chrono::milliseconds(1000)}));
  EXPECT_EQ(calls, 1);
  EXPECT_NE(result, nullptr);
  EXPECT_EQ(missing_, 0);
  result.reset();
}

TEST_F(WebView2HostTest, NoRuntimeIsNotTriedAgainAndFailuresStopAfterTheLastTry) {
  int starts = 0;
  auto missing = MakePlatform([&](const std::wstring&, ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler*) {
    ++starts;
    return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  });
  missing->CreateEnvironment([](std::shared_ptr<IWebEnvironment>) {});
  scheduler_.RunAll();
  EXPECT_EQ(starts, 1);
  EXPECT_EQ(missing_, 1);

  auto failing = MakePlatform(CompletingFactory(E_FAIL, false));
  int calls = 0;
  failing->CreateEnvironment([&](std::shared_ptr<IWebEnvironment> environment) {
    ++calls;
    EXPECT_EQ(environment, nullptr);
  });
  scheduler_.RunAll();
  EXPECT_EQ(folders_.size(), static_cast<std::size_t>(kEnvironmentAttempts));
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(missing_, 2);
}

// The platform may go before a pending try runs: nothing is left behind.
TEST_F(WebView2HostTest, APendingRetryOutlivesThePlatformHarmlessly) {
  auto platform = MakePlatform(CompletingFactory(E_FAIL, false));
  int calls = 0;
  platform->CreateEnvironment([&](std::shared_ptr<IWebEnvironment>) { ++calls; });
  platform.reset();
  scheduler_.RunAll();
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(folders_.size(), static_cast<std::size_t>(kEnvironmentAttempts));
}

TEST_F(WebView2HostTest, FailedOrEmptyCompletionReportsMissingRuntimeThenNull) {
  for (const bool withEnvironment : {true, false}) {
    events_.clear();
    auto platform = MakePlatform(CompletingFactory(withEnvironment ? E_FAIL : S_OK, withEnvironment));
    platform->CreateEnvironment([&](std::shared_ptr<IWebEnvironment> environment) {
      EXPECT_EQ(environment, nullptr);
      events_.push_back("completed");
    });
    EXPECT_TRUE(events_.empty());
    scheduler_.RunAll();
    EXPECT_EQ(events_, (std::vector<std::string>{"runtime missing", "completed"}));
  }
}

}  // namespace
}  // namespace tarnel::platform::win32::webview2
