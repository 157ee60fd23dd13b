// The worker under repeated start and cancel: every cancel ends the thread
// quickly and leaves no file behind.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include <atomic>
#include <filesystem>

#include "download/download_messages.h"
#include "download/download_worker.h"
#include "support/http_test_server.h"
#include "support/temp_dir.h"

namespace tarnel::download {
namespace {

TEST(DownloadWorker, StartAndCancelManyTimesNeverHangsOrLeavesAFile) {
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
    DownloadWorker worker(DownloadRequest{server.Url("/slow.bin"), path, curl_easy_init(), window,
                                          std::make_shared<ProgressMailbox>(), TransferLimits{}});
    if (i % 2 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    // The destructor cancels and joins.
  }
  const auto elapsed = std::chrono::steady_clock::now() - started;
  server.Release();
  // Each cancel lands at libcurl's next progress call, not after a timeout.
  EXPECT_LT(elapsed, std::chrono::seconds(60));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), std::filesystem::directory_iterator()), 0);
}

}  // namespace
}  // namespace tarnel::download
