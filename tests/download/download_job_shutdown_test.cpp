// The job under repeated start and destruction: every destruction ends the
// worker quickly and leaves no file behind; and a host that never answers.
#include <gtest/gtest.h>

#include <curl/curl.h>

#ifndef _WIN32
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "download/download_job.h"
#include "download/download_messages.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace tarnel::download {
namespace {

TEST(DownloadJob, StartAndDestroyManyTimesNeverHangsOrLeavesAFile) {
  curl_global_init(CURL_GLOBAL_ALL);
  test::HttpTestServer server;
  const std::string block(64 * 1024, 'x');
  // Sends one block, then holds the connection open.
  server.Get("/slow.bin", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content_provider(1 << 30, "application/octet-stream", [&](size_t offset, size_t, httplib::DataSink& sink) {
      if (offset == 0) return sink.write(block.data(), block.size());
      server.Hold();
      return false;
    });
  });
  server.Start();
  test::TempDir dir;
  std::atomic<int> posted{0};
  auto window = platform::WindowHandle::Create([&](std::function<void()>) { ++posted; },
                                               [](std::uint32_t, platform::WPARAM, platform::LPARAM) { return 0; });
  const auto started = std::chrono::steady_clock::now();
  for (int i = 0; i < 100; ++i) {
    const std::string path = dir.file("file" + std::to_string(i % 3) + ".bin");
    JobRequest request;
    request.url = server.Url("/slow.bin");
    request.path = path;
    request.window = window;
    DownloadJob job(std::move(request));
    if (i % 2 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    // The destructor cancels and joins.
  }
  const auto elapsed = std::chrono::steady_clock::now() - started;
  server.Release();
  // Each cancel lands at libcurl's next progress call, not after a timeout.
  EXPECT_LT(elapsed, std::chrono::seconds(60));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 0);
}

#ifndef _WIN32
// A full accept queue leaves connections unanswered on Linux only; Windows refuses them.
// A loopback port whose accept queue is full: further connection attempts get
// no answer at all, like a host that has gone away.
class UnansweredPort {
 public:
  UnansweredPort() {
    listener_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    listen(listener_, 0);
    // Fill the queue; nothing ever accepts.
    for (int i = 0; i < 4; ++i) {
      const int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
      connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address);
      fillers_.push_back(client);
    }
  }
  ~UnansweredPort() {
    for (const int fd : fillers_) close(fd);
    close(listener_);
  }
  int port() const { return port_; }

 private:
  int listener_ = -1;
  int port_ = 0;
  std::vector<int> fillers_;
};

TEST(DownloadJob, NoConnectionWithinTheLimitIsANetworkFailure) {
  curl_global_init(CURL_GLOBAL_ALL);
  UnansweredPort port;
  test::TempDir dir;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::uint32_t> messages;
  platform::WPARAM reason = 0;
  auto window = platform::WindowHandle::Create([&](std::function<void()> task) { task(); },
                                               [&](std::uint32_t message, platform::WPARAM wParam, platform::LPARAM) {
                                                 std::lock_guard lock(mutex);
                                                 messages.push_back(message);
                                                 reason = wParam;
                                                 changed.notify_all();
                                                 return platform::LRESULT{0};
                                               });
  TransferLimits limits;
  limits.connectTimeoutSeconds = 1;
  limits.maxRetries = 1;
  const auto started = std::chrono::steady_clock::now();
  JobRequest request;
  request.url = "http://127.0.0.1:" + std::to_string(port.port()) + "/setup.exe";
  request.path = dir.file("setup.exe");
  request.window = window;
  request.limits = limits;
  std::vector<std::chrono::milliseconds> waits;
  JobHooks hooks;
  hooks.wait = [&](std::chrono::milliseconds delay) { waits.push_back(delay); };
  DownloadJob job(std::move(request), hooks);
  std::unique_lock lock(mutex);
  ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(20), [&] { return !messages.empty(); }));
  EXPECT_EQ(messages, std::vector<std::uint32_t>{WM_DNLD_FAILED});
  EXPECT_EQ(reason, static_cast<platform::WPARAM>(FailureReason::kNetwork));
  // A connect timeout is worth another try: two attempts of about a second each.
  EXPECT_EQ(waits.size(), 1u);
  EXPECT_EQ(job.Outcome().attempts, 2);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(8));
  EXPECT_FALSE(std::filesystem::exists(dir.file("setup.exe")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("setup.exe.part")));
}

#endif  // _WIN32

}  // namespace
}  // namespace tarnel::download
