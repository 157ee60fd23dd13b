#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "service/event_report.h"
#include "service/event_sender.h"
#include "support/http_test_server.h"
#include "support/test_tls.h"

namespace tarnel::service {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test::HttpTestServer;
using test::RecordedRequest;

// The process holds libcurl's global state for its whole life; so does this
// test program.
[[maybe_unused]] const bool kCurlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;

// The form fields as the server parsed them.
struct Form {
  std::string downloaderId;
  std::string event;
  std::string uuid;
  bool operator==(const Form&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Form& form) {
  return out << "{" << form.downloaderId << ", \"" << form.event << "\", " << form.uuid << "}";
}

Form FormOf(const RecordedRequest& request) {
  auto field = [&](const char* name) {
    const auto it = request.files.find(name);
    return it == request.files.end() ? std::string("<missing>") : it->second.content;
  };
  return {field("downloader_id"), field("event"), field("uuid")};
}

class LogEndpoint : public ::testing::Test {
 protected:
  // Serves "/log" with a short answer after `handler` (if any) has run.
  void StartLog(std::function<void()> handler = nullptr) {
    server_.Post("/log", [handler](const httplib::Request&, httplib::Response& res) {
      if (handler) handler();
      res.set_content(R"({"code":200,"msg":"LOG-ANSWER-7f3a"})", "application/json");
    });
    server_.Start();
  }
  std::string LogUrl() const { return server_.Url("/log"); }

  HttpTestServer server_;
};

// ---- One report --------------------------------------------------------------

TEST_F(LogEndpoint, ReportIsAMultipartPostOfThreePartsInOrder) {
  StartLog();

  SendEventReport(LogUrl(), {1234, "open-page", "5f0c2a1e-uuid"});

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& request = requests[0];
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.path, "/log");
  const auto contentType = request.headers.find("Content-Type");
  ASSERT_NE(contentType, request.headers.end());
  EXPECT_EQ(contentType->second.rfind("multipart/form-data; boundary=", 0), 0u);

  EXPECT_EQ(FormOf(request), (Form{"1234", "open-page", "5f0c2a1e-uuid"}));
  EXPECT_EQ(request.files.size(), 3u);
  for (const auto& [name, part] : request.files) {
    EXPECT_TRUE(part.filename.empty()) << name;
    EXPECT_TRUE(part.content_type.empty()) << name;
  }
  // The parts in the order they came on the wire.
  ASSERT_EQ(request.parts.size(), 3u);
  EXPECT_EQ(request.parts[0].name, "downloader_id");
  EXPECT_EQ(request.parts[0].content, "1234");
  EXPECT_EQ(request.parts[1].name, "event");
  EXPECT_EQ(request.parts[1].content, "open-page");
  EXPECT_EQ(request.parts[2].name, "uuid");
  EXPECT_EQ(request.parts[2].content, "5f0c2a1e-uuid");
}

TEST_F(LogEndpoint, DownloaderIdIsWrittenAsUnsignedDecimal) {
  StartLog();

  SendEventReport(LogUrl(), {0, "5", "u"});
  SendEventReport(LogUrl(), {4294967295u, "5", "u"});

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(FormOf(requests[0]).downloaderId, "0");
  EXPECT_EQ(FormOf(requests[1]).downloaderId, "4294967295");
}

TEST_F(LogEndpoint, EventTextIsSentUpToItsFirstNul) {
  StartLog();

  SendEventReport(LogUrl(), {9, "", "u-1"});
  SendEventReport(LogUrl(), {9, std::string("ab\0cd", 5), "u-2"});
  SendEventReport(LogUrl(), {9, "kauf \xC3\xBC ok", "u-3"});

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(FormOf(requests[0]), (Form{"9", "", "u-1"}));
  ASSERT_EQ(requests[0].parts.size(), 3u);
  EXPECT_EQ(requests[0].parts[1].name, "event");
  EXPECT_EQ(FormOf(requests[1]), (Form{"9", "ab", "u-2"}));
  EXPECT_EQ(FormOf(requests[2]), (Form{"9", "kauf \xC3\xBC ok", "u-3"}));
}

TEST_F(LogEndpoint, AnswerIsNotWrittenToStandardOutput) {
  StartLog();

  testing::internal::CaptureStdout();
  SendEventReport(LogUrl(), {1, "4", "u"});
  const std::string printed = testing::internal::GetCapturedStdout();

  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_EQ(printed.find("LOG-ANSWER-7f3a"), std::string::npos) << printed;
}

TEST_F(LogEndpoint, CancelFlagAbortsATransferInFlight) {
  StartLog([&] { server_.Hold(); });
  std::atomic<bool> cancel{false};

  std::jthread sender([&] { SendEventReport(LogUrl(), {1, "4", "u"}, {}, &cancel); });
  ASSERT_TRUE(server_.WaitForRequests(1));  // the transfer waits for an answer
  const auto start = steady_clock::now();
  cancel = true;
  sender.join();

  // The transfer looks at the flag at least every 50 ms.
  EXPECT_LT(steady_clock::now() - start, milliseconds(500));
}

// A redirect from the log address is followed, and the form reaches the final
// endpoint as a POST whatever the redirect's status.
class LogRedirect : public LogEndpoint, public ::testing::WithParamInterface<int> {};

TEST_P(LogRedirect, IsFollowedAsPostWithTheWholeForm) {
  server_.Post("/old-log", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(server_.Url("/log"), GetParam());
  });
  StartLog();

  SendEventReport(server_.Url("/old-log"), {77, "post-data-3", "uuid-r"});

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].path, "/old-log");
  EXPECT_EQ(requests[1].path, "/log");
  EXPECT_EQ(requests[1].method, "POST");
  EXPECT_EQ(FormOf(requests[1]), (Form{"77", "post-data-3", "uuid-r"}));
}

INSTANTIATE_TEST_SUITE_P(AllRedirectStatuses, LogRedirect, ::testing::Values(301, 302, 303, 307, 308));

#ifndef _WIN32
// The test HTTPS server is OpenSSL's; the Windows build has Schannel only.
TEST(LogEndpointTls, AddressWithoutSchemeIsSentOverHttps) {
  test::TlsTestServer tls;
  tls.http().Post("/log", [](const httplib::Request&, httplib::Response& res) { res.set_content("ok", "text/plain"); });
  tls.http().Start();
  TransferSettings trusting;
  trusting.caFile = tls.certificates().caFile;

  SendEventReport("127.0.0.1:" + std::to_string(tls.http().port()) + "/log", {3, "5", "u"}, trusting);

  const auto requests = tls.http().Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(FormOf(requests[0]), (Form{"3", "5", "u"}));
}
#endif  // _WIN32

// ---- The background sender ---------------------------------------------------

EventReport Numbered(int i) {
  return {static_cast<unsigned>(100 + i), "event-" + std::to_string(i), "uuid-" + std::to_string(i)};
}

Form NumberedForm(int i) {
  return {std::to_string(100 + i), "event-" + std::to_string(i), "uuid-" + std::to_string(i)};
}

TEST_F(LogEndpoint, SenderDeliversABurstInOrderWhileTheEndpointIsSlow) {
  StartLog([] { std::this_thread::sleep_for(milliseconds(20)); });  // a slow service
  constexpr int kReports = 20;
  {
    EventSender sender(LogUrl());
    for (int i = 0; i < kReports; ++i) sender.Enqueue(Numbered(i));
    ASSERT_TRUE(server_.WaitForRequests(kReports));
  }

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), static_cast<size_t>(kReports));
  for (int i = 0; i < kReports; ++i) EXPECT_EQ(FormOf(requests[i]), NumberedForm(i)) << "report " << i;
}

TEST_F(LogEndpoint, EnqueueDoesNotWaitForTheEndpoint) {
  StartLog([&] { server_.Hold(); });  // answers only when released
  constexpr int kReports = 50;
  EventSender sender(LogUrl());
  sender.Enqueue(Numbered(0));
  ASSERT_TRUE(server_.WaitForRequests(1));  // the first report hangs in flight

  const auto start = steady_clock::now();
  for (int i = 1; i < kReports; ++i) sender.Enqueue(Numbered(i));
  const auto elapsed = steady_clock::now() - start;

  EXPECT_LT(elapsed, milliseconds(100));
  EXPECT_EQ(server_.RequestCount(), 1u);  // one at a time
  server_.Release();
  ASSERT_TRUE(server_.WaitForRequests(kReports));
  const auto requests = server_.Requests();
  for (int i = 0; i < kReports; ++i) EXPECT_EQ(FormOf(requests[i]), NumberedForm(i)) << "report " << i;
}

TEST_F(LogEndpoint, DestructorLetsQueuedReportsGoOut) {
  StartLog();
  {
    EventSender sender(LogUrl());
    for (int i = 0; i < 5; ++i) sender.Enqueue(Numbered(i));
  }

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 5u);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(FormOf(requests[i]), NumberedForm(i));
}

TEST_F(LogEndpoint, DestructorGivesUpOnAHangingEndpointAfterItsBudget) {
  StartLog([&] { server_.Hold(); });  // never answers while the sender lives
  const milliseconds budget(300);
  auto sender = std::make_unique<EventSender>(LogUrl(), TransferSettings{}, budget);
  for (int i = 0; i < 5; ++i) sender->Enqueue(Numbered(i));
  ASSERT_TRUE(server_.WaitForRequests(1));

  const auto start = steady_clock::now();
  sender.reset();
  const auto elapsed = steady_clock::now() - start;

  EXPECT_GE(elapsed, budget - milliseconds(20));
  EXPECT_LT(elapsed, budget + milliseconds(500));
  // The sender thread is gone: nothing more can arrive, the other four were dropped.
  EXPECT_EQ(server_.RequestCount(), 1u);
}

TEST_F(LogEndpoint, ReportsBeyondTheQueueLimitAreDropped) {
  StartLog([&] { server_.Hold(); });
  {
    EventSender sender(LogUrl(), TransferSettings{}, std::chrono::seconds(10), /*maxQueued=*/3);
    sender.Enqueue(Numbered(0));
    ASSERT_TRUE(server_.WaitForRequests(1));  // in flight, no longer queued
    for (int i = 1; i < 10; ++i) sender.Enqueue(Numbered(i));
    server_.Release();
  }  // drains what was queued

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 4u);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(FormOf(requests[i]), NumberedForm(i));
}

}  // namespace
}  // namespace tarnel::service
