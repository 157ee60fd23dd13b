// The download job against scripted loopback servers: retries, resume,
// integrity and cancel.
#include <gtest/gtest.h>

#include "job_test_support.h"

namespace tarnel::download {
namespace {

using namespace jobtest;
// Honours Range and If-Range; the first `drops` answers end after `after` bytes.
ScriptedServer::Handler Dropping(const std::string& body, int drops, std::size_t after) {
  return [&body, drops, after](const ScriptedRequest& request, int index) {
    ScriptedResponse response = Ranged(request, body);
    if (index < drops) response.dropAfter = after;
    return response;
  };
}

TEST_F(DownloadJobTest, ResumeAfterDropsAppendsWithRangeAndIfRangeAndTheFileIsRight) {
  ScriptedServer server(Dropping(body, 2, 300000));
  JobRun run(Request(server.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);
  EXPECT_EQ(Folder(), std::vector<std::string>{"setup.exe"});
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].Header("range"), "");
  EXPECT_EQ(requests[1].Header("range"), "bytes=300000-");
  EXPECT_EQ(requests[1].Header("if-range"), "\"v1\"");
  EXPECT_EQ(requests[2].Header("range"), "bytes=600000-");
  // Nothing was fetched twice, and each drop that got further started the count again.
  EXPECT_EQ(server.BodyBytesSent(), body.size());
  EXPECT_EQ(run.waits, (std::vector<std::chrono::milliseconds>{1000ms, 1000ms}));
  // Progress is in whole-file terms and never goes back.
  const auto now = run.ProgressNow();
  ASSERT_FALSE(now.empty());
  EXPECT_TRUE(std::is_sorted(now.begin(), now.end()));
  EXPECT_EQ(now.back(), body.size());
  const auto last = run.LastProgress();
  ASSERT_TRUE(last);
  EXPECT_EQ(last->total, static_cast<std::int64_t>(body.size()));
}

TEST_F(DownloadJobTest, AChangedFileOrAServerIgnoringRangeStartsOverAndTheFileIsTheNewOne) {
  const std::string second = Body(1 << 20, 7);
  ScriptedServer changed([&](const ScriptedRequest& request, int index) {
    if (index == 0) {
      ScriptedResponse response = Whole(body, "\"v1\"");
      response.dropAfter = 400000;
      return response;
    }
    return Ranged(request, second, "\"v2\"");  // If-Range "v1" no longer matches: 200
  });
  JobRun run(Request(changed.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), second);
  EXPECT_EQ(changed.Requests()[1].Header("if-range"), "\"v1\"");

  // No validator at all: a retry asks from zero.
  ScriptedServer plain([&](const ScriptedRequest&, int index) {
    ScriptedResponse response;
    response.body = body;
    if (index == 0) response.dropAfter = 400000;
    return response;
  });
  JobRun again(Request(plain.Url("/other.exe"), "other.exe"));
  ASSERT_TRUE(again.WaitForEnd());
  ASSERT_TRUE(again.Finished());
  EXPECT_EQ(test::ReadFile(dir.file("other.exe")), body);
  EXPECT_EQ(plain.Requests()[1].Header("range"), "");
}

TEST_F(DownloadJobTest, WithOnlyAWeakEtagTheDateJoinsTheAttempts) {
  const std::string date = "Wed, 09 Dec 2026 10:00:00 GMT";
  ScriptedServer server([&](const ScriptedRequest& request, int index) {
    ScriptedResponse response = Ranged(request, body, date);
    response.headers = {{"ETag", "W/\"weak\""}, {"Last-Modified", date}};
    if (response.status == 206) {
      response.headers.emplace_back("Content-Range", "bytes " + request.Header("range").substr(6) +
                                                         std::to_string(body.size() - 1) + "/" +
                                                         std::to_string(body.size()));
    }
    if (index == 0) response.dropAfter = 250000;
    return response;
  });
  JobRun run(Request(server.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[1].Header("range"), "bytes=250000-");
  EXPECT_EQ(requests[1].Header("if-range"), date);
  EXPECT_EQ(server.BodyBytesSent(), body.size());
}

TEST_F(DownloadJobTest, ARefusedProtocolEndsAtOnceWithoutRetry) {
  ScriptedServer server([&](const ScriptedRequest&, int) { return Whole(body); });
  JobRun run(Request("ftp://127.0.0.1:" + std::to_string(server.port()) + "/setup.exe"));
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_FALSE(run.Finished());
  EXPECT_LE(run.job().Outcome().attempts, 1);
  EXPECT_TRUE(run.waits.empty());
  EXPECT_TRUE(server.Requests().empty());
  EXPECT_TRUE(Folder().empty());
}

TEST_F(DownloadJobTest, A416DiscardsThePartAndStartsOnceMoreFromZero) {
  ScriptedServer server([&](const ScriptedRequest&, int index) {
    ScriptedResponse response = Whole(body);
    if (index == 0) response.dropAfter = 500000;
    if (index == 1) response = ScriptedResponse{416, {}, "", {}, false, {}};
    return response;
  });
  JobRun run(Request(server.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].Header("range"), "bytes=500000-");
  EXPECT_EQ(requests[2].Header("range"), "");
}

TEST_F(DownloadJobTest, TransientStatusesAreRetriedHonouringRetryAfterAndOthersAreNot) {
  ScriptedServer busy([&](const ScriptedRequest&, int index) {
    if (index < 2) return ScriptedResponse{503, {{"Retry-After", "7"}}, "busy", {}, false, {}};
    return Whole(body);
  });
  JobRun run(Request(busy.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_TRUE(run.Finished());
  EXPECT_EQ(run.waits, (std::vector<std::chrono::milliseconds>{7000ms, 7000ms}));
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);

  // Beyond a minute the server's wish gives way to the backoff.
  ScriptedServer slow([&](const ScriptedRequest&, int index) {
    if (index == 0) return ScriptedResponse{429, {{"Retry-After", "3600"}}, "", {}, false, {}};
    return Whole(body);
  });
  JobRun later(Request(slow.Url("/b.exe"), "b.exe"));
  ASSERT_TRUE(later.WaitForEnd());
  EXPECT_EQ(later.waits, (std::vector<std::chrono::milliseconds>{1000ms}));

  ScriptedServer missing([&](const ScriptedRequest&, int) { return ScriptedResponse{404, {}, "no", {}, false, {}}; });
  JobRun gone(Request(missing.Url("/c.exe"), "c.exe"));
  ASSERT_TRUE(gone.WaitForEnd());
  EXPECT_FALSE(gone.Finished());
  EXPECT_EQ(gone.Reason(), FailureReason::kHttp);
  EXPECT_EQ(gone.Status(), 404);
  EXPECT_EQ(missing.Requests().size(), 1u);
  EXPECT_TRUE(gone.waits.empty());
  EXPECT_EQ(Folder(), (std::vector<std::string>{"b.exe", "setup.exe"}));
}

TEST_F(DownloadJobTest, SixAttemptsWithoutProgressGiveNetworkAfterTheBackoff) {
  int port = 0;
  {
    ScriptedServer closed([](const ScriptedRequest&, int) { return ScriptedResponse{}; });
    port = closed.port();
  }  // nothing listens there any more: connections are refused
  for (const double jitter : {0.0, 1.0, -1.0}) {
    JobRun run(Request("http://127.0.0.1:" + std::to_string(port) + "/setup.exe"), /*realWait=*/false, jitter);
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(run.Reason(), FailureReason::kNetwork);
    EXPECT_EQ(run.job().Outcome().attempts, 6);
    const double scale = 1.0 + 0.2 * jitter;
    std::vector<std::chrono::milliseconds> expected;
    for (const int seconds : {1, 2, 4, 8, 16}) expected.emplace_back(static_cast<long>(seconds * 1000 * scale));
    EXPECT_EQ(run.waits, expected) << jitter;
    EXPECT_TRUE(Folder().empty());
  }
}

TEST_F(DownloadJobTest, ManyDropsThatEachGetFurtherDoNotExhaustTheRetries) {
  ScriptedServer server(Dropping(body, 10, 50000));
  JobRun run(Request(server.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(server.Requests().size(), 11u);
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);
}

TEST_F(DownloadJobTest, CancelEndsATransferOrAWaitWithin200MsAndLeavesNoPart) {
  ScriptedServer stalled([&](const ScriptedRequest&, int) {
    ScriptedResponse response = Whole(body);
    response.dropAfter = 1000;
    response.stall = true;
    return response;
  });
  {
    JobRun run(Request(stalled.Url("/setup.exe")));
    ASSERT_TRUE(fs::exists(dir.file("setup.exe.part")) || [&] {
      for (int i = 0; i < 200 && !fs::exists(dir.file("setup.exe.part")); ++i) std::this_thread::sleep_for(10ms);
      return fs::exists(dir.file("setup.exe.part"));
    }());
    std::this_thread::sleep_for(100ms);
    const auto start = std::chrono::steady_clock::now();
    run.job().Cancel();
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
    EXPECT_EQ(run.Reason(), FailureReason::kCancelled);
    EXPECT_TRUE(Folder().empty());
  }
  ScriptedServer busy([&](const ScriptedRequest&, int) {
    return ScriptedResponse{503, {{"Retry-After", "30"}}, "", {}, false, {}};
  });
  JobRun run(Request(busy.Url("/wait.exe"), "wait.exe"), /*realWait=*/true);
  for (int i = 0; i < 500 && run.job().State() != JobState::kWaiting; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(run.job().State(), JobState::kWaiting);
  const auto start = std::chrono::steady_clock::now();
  run.job().Cancel();
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 200ms);
  EXPECT_EQ(run.Reason(), FailureReason::kCancelled);
  EXPECT_TRUE(Folder().empty());
}

TEST_F(DownloadJobTest, TheDigestDecidesWhetherTheFileGetsItsName) {
  ScriptedServer server([&](const ScriptedRequest& request, int) { return Ranged(request, body); });
  JobRequest right = Request(server.Url("/setup.exe"));
  right.expectedSha256 = DigestOf(body);
  JobRun good(std::move(right));
  ASSERT_TRUE(good.WaitForEnd());
  EXPECT_TRUE(good.Finished());

  JobRequest wrong = Request(server.Url("/bad.exe"), "bad.exe");
  wrong.expectedSha256 = DigestOf("something else");
  JobRun bad(std::move(wrong));
  ASSERT_TRUE(bad.WaitForEnd());
  EXPECT_EQ(bad.Reason(), FailureReason::kChecksum);
  EXPECT_EQ(Folder(), std::vector<std::string>{"setup.exe"});

  // The server's own digest of the whole file counts the same, across a resume.
  const auto digest = DigestOf(body);
  std::string base64;
  {
    static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < digest.size(); i += 3) {
      const std::uint32_t group = (digest[i] << 16) | ((i + 1 < digest.size() ? digest[i + 1] : 0) << 8) |
                                  (i + 2 < digest.size() ? digest[i + 2] : 0);
      base64 += kAlphabet[(group >> 18) & 63];
      base64 += kAlphabet[(group >> 12) & 63];
      base64 += i + 1 < digest.size() ? kAlphabet[(group >> 6) & 63] : '=';
      base64 += i + 2 < digest.size() ? kAlphabet[group & 63] : '=';
    }
  }
  for (const bool honest : {true, false}) {
    ScriptedServer described([&](const ScriptedRequest& request, int index) {
      ScriptedResponse response = Ranged(request, honest ? body : Body(body.size(), 3));
      response.headers.emplace_back("Repr-Digest", "sha-512=:AAAA:, sha-256=:" + base64 + ":");
      if (index == 0) response.dropAfter = 100000;
      return response;
    });
    const std::string name = honest ? "described.exe" : "lying.exe";
    JobRun run(Request(described.Url("/" + name), name));
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(run.Finished(), honest);
    if (!honest) {
      EXPECT_EQ(run.Reason(), FailureReason::kChecksum);
    }
    EXPECT_EQ(fs::exists(dir.file(name)), honest);
  }
}

}  // namespace
}  // namespace tarnel::download
