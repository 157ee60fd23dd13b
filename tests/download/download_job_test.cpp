// The download job against scripted loopback servers: retries, resume,
// integrity, cancel and the files it leaves.
#include <gtest/gtest.h>

#include <sys/mount.h>

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "download/download_job.h"
#include "download/download_messages.h"
#include "download/sha256.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace tarnel::download {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ScriptedRequest;
using test::ScriptedResponse;
using test::ScriptedServer;

std::string Body(std::size_t size, int seed = 0) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(seed)) % 251);
  return data;
}

Sha256Digest DigestOf(const std::string& data) {
  Sha256 sha;
  sha.Update(data.data(), data.size());
  return sha.Final();
}

ScriptedResponse Whole(const std::string& body, const std::string& etag = "\"v1\"") {
  ScriptedResponse response;
  response.headers = {{"ETag", etag}};
  response.body = body;
  return response;
}

// The answer a server that honours Range and If-Range gives.
ScriptedResponse Ranged(const ScriptedRequest& request, const std::string& body, const std::string& etag = "\"v1\"") {
  const std::string range = request.Header("range");
  if (range.empty() || (request.headers.count("if-range") && request.Header("if-range") != etag)) return Whole(body, etag);
  const std::size_t first = std::stoull(range.substr(range.find('=') + 1));
  ScriptedResponse response;
  if (first >= body.size()) {
    response.status = 416;
    return response;
  }
  response.status = 206;
  response.headers = {{"ETag", etag},
                      {"Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(body.size() - 1) + "/" +
                                            std::to_string(body.size())}};
  response.body = body.substr(first);
  return response;
}

// Runs one job and collects what it posts to its window.
class JobRun {
 public:
  explicit JobRun(JobRequest request, bool realWait = false) {
    window_ = platform::WindowHandle::Create([](std::function<void()> task) { task(); },
                                             [this](std::uint32_t message, platform::WPARAM w, platform::LPARAM l) {
                                               std::lock_guard lock(mutex_);
                                               if (message == WM_DL_PROGRESS) progress_.push_back(job_->TakeProgress());
                                               if (message == WM_DNLD_FINISHED || message == WM_DNLD_FAILED) {
                                                 // The last counters wait in the mailbox for the finish.
                                                 progress_.push_back(job_->TakeProgress());
                                                 end_ = message;
                                                 reason_ = w;
                                                 status_ = l;
                                                 ended_.notify_all();
                                               }
                                               return platform::LRESULT{0};
                                             });
    request.window = window_;
    JobHooks hooks;
    if (!realWait) hooks.wait = [this](std::chrono::milliseconds delay) { waits.push_back(delay); };
    hooks.jitter = [this] { return jitter; };
    std::lock_guard lock(mutex_);
    job_ = std::make_unique<DownloadJob>(std::move(request), hooks);
  }
  ~JobRun() {
    job_.reset();
    window_->Destroy();
  }
  bool WaitForEnd(std::chrono::milliseconds timeout = 30s) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, timeout, [this] { return end_ != 0; });
  }
  bool Finished() const { return end_ == WM_DNLD_FINISHED; }
  FailureReason Reason() const { return static_cast<FailureReason>(reason_); }
  long Status() const { return static_cast<long>(status_); }
  DownloadJob& job() { return *job_; }
  std::vector<std::uint64_t> ProgressNow() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> now;
    for (const auto& p : progress_) if (p) now.push_back(p->now);
    return now;
  }

  std::vector<std::chrono::milliseconds> waits;
  double jitter = 0.0;

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  std::shared_ptr<platform::WindowHandle> window_;
  std::unique_ptr<DownloadJob> job_;
  std::vector<std::optional<ProgressCounters>> progress_;
  std::uint32_t end_ = 0;
  platform::WPARAM reason_ = 0;
  platform::LPARAM status_ = 0;
};

class DownloadJobTest : public ::testing::Test {
 protected:
  JobRequest Request(const std::string& url, const std::string& name = "setup.exe") {
    JobRequest request;
    request.url = url;
    request.path = dir.file(name);
    return request;
  }
  std::vector<std::string> Folder() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  test::TempDir dir;
  const std::string body = Body(1 << 20);
};

TEST_F(DownloadJobTest, ResumeAfterDropsAppendsWithRangeAndIfRangeAndTheFileIsRight) {
  ScriptedServer server([&](const ScriptedRequest& request, int index) {
    ScriptedResponse response = Ranged(request, body);
    if (index < 2) response.dropAfter = 300000;
    return response;
  });
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
    JobRun run(Request("http://127.0.0.1:" + std::to_string(port) + "/setup.exe"));
    run.jitter = jitter;
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
  ScriptedServer server([&](const ScriptedRequest& request, int index) {
    ScriptedResponse response = Ranged(request, body);
    if (index < 10) response.dropAfter = 50000;
    return response;
  });
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
  ScriptedServer busy([&](const ScriptedRequest&, int) { return ScriptedResponse{503, {{"Retry-After", "30"}}, "", {}, false, {}}; });
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

TEST_F(DownloadJobTest, ALinkPlantedAtThePartNameIsNeverWrittenThrough) {
  test::WriteFile(dir.file("victim"), "keep me");
  fs::create_symlink(dir.file("victim"), dir.file("setup.exe.part"));
  ScriptedServer server([&](const ScriptedRequest& request, int) { return Ranged(request, body); });
  JobRun run(Request(server.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  EXPECT_EQ(test::ReadFile(dir.file("victim")), "keep me");
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);
  EXPECT_FALSE(fs::is_symlink(dir.file("setup.exe")));
}

TEST_F(DownloadJobTest, AnExistingFileKeepsItsNameAndTheDownloadTakesTheNextNumber) {
  test::WriteFile(dir.file("setup.exe"), "mine");
  test::WriteFile(dir.file("setup (1).exe"), "mine too");
  ScriptedServer server([&](const ScriptedRequest& request, int) { return Ranged(request, body); });
  JobRun run(Request(server.Url("/setup.exe")));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(run.job().Outcome().finalPath, dir.file("setup (2).exe"));
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), "mine");
  EXPECT_EQ(test::ReadFile(dir.file("setup (1).exe")), "mine too");
  EXPECT_EQ(test::ReadFile(dir.file("setup (2).exe")), body);
}

TEST_F(DownloadJobTest, AKeptPartIsResumedByTheNextJobOfTheSameUrlAndTarget) {
  bool up = false;
  ScriptedServer server([&](const ScriptedRequest& request, int) {
    ScriptedResponse response = Ranged(request, body);
    if (!up) response.dropAfter = 200000;
    return response;
  });
  JobRequest request = Request(server.Url("/setup.exe"));
  request.limits.maxRetries = 0;
  std::optional<KeptPart> kept;
  {
    JobRun first(request);
    ASSERT_TRUE(first.WaitForEnd());
    EXPECT_EQ(first.Reason(), FailureReason::kNetwork);
    kept = first.job().TakeKeptPart();
  }
  ASSERT_TRUE(kept);
  EXPECT_EQ(fs::file_size(kept->partPath), 200000u);
  up = true;
  request.resume = kept;
  JobRun second(request);
  ASSERT_TRUE(second.WaitForEnd());
  ASSERT_TRUE(second.Finished());
  EXPECT_EQ(server.Requests().back().Header("range"), "bytes=200000-");
  EXPECT_EQ(test::ReadFile(dir.file("setup.exe")), body);
  EXPECT_EQ(Folder(), std::vector<std::string>{"setup.exe"});
}

TEST_F(DownloadJobTest, TheTransferGoesThroughTheProxyTheLookupNames) {
  // A forward proxy answers the absolute-form request itself.
  ScriptedServer proxy([&](const ScriptedRequest&, int) { return Whole(body); });
  JobRequest request = Request("http://127.0.0.1:9/setup.exe");
  std::string asked;
  request.proxy = [&](const std::string& url) -> std::optional<std::string> {
    asked = url;
    return "http://127.0.0.1:" + std::to_string(proxy.port());
  };
  JobRun run(std::move(request));
  ASSERT_TRUE(run.WaitForEnd());
  ASSERT_TRUE(run.Finished());
  EXPECT_EQ(asked, "http://127.0.0.1:9/setup.exe");
  ASSERT_EQ(proxy.Requests().size(), 1u);
  EXPECT_EQ(proxy.Requests()[0].target, "http://127.0.0.1:9/setup.exe");
}

TEST_F(DownloadJobTest, AFullDiskEndsTheJobAtOnceLeavingNothing) {
  const std::string small = dir.file("small");
  fs::create_directory(small);
  if (mount("tmpfs", small.c_str(), "tmpfs", 0, "size=256k") != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
  for (const bool announced : {true, false}) {
    ScriptedServer server([&](const ScriptedRequest&, int) {
      ScriptedResponse response = Whole(body);
      // Without a length the space runs out while writing.
      response.unannounced = !announced;
      return response;
    });
    JobRequest request;
    request.url = server.Url("/setup.exe");
    request.path = small + "/setup.exe";
    JobRun run(std::move(request));
    ASSERT_TRUE(run.WaitForEnd());
    EXPECT_EQ(run.Reason(), FailureReason::kDiskFull) << announced;
    // Not tried again, whatever the disk left.
    EXPECT_EQ(server.Requests().size(), 1u);
    EXPECT_EQ(fs::directory_iterator(small), fs::directory_iterator());
  }
  umount(small.c_str());
}

}  // namespace
}  // namespace tarnel::download
