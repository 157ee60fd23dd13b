// Installer files under /files/: whole files, ranges, the folder, pacing.
#include <sys/wait.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "service_fixture.h"

namespace tarnel::standin::test {
namespace {

class InstallerFiles : public ServiceFixture {};

constexpr const char* kDemoPath = "/files/tarnel-demo-setup.sh";

TEST_F(InstallerFiles, DemoInstallerHasTheRequestedLengthAndRunsAsAShellScript) {
  ServiceOptions options;
  options.demo_size = 100000;
  StartService(options);
  auto answer = client().Get(kDemoPath);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->get_header_value("Content-Length"), "100000");
  EXPECT_EQ(answer->get_header_value("Accept-Ranges"), "bytes");
  ASSERT_EQ(answer->body.size(), 100000u);
  EXPECT_EQ(answer->body.back(), '\n');

  const auto script = WriteTempFile("setup.sh", answer->body);
  FILE* run = popen(("sh '" + script.string() + "'").c_str(), "r");
  ASSERT_NE(run, nullptr);
  std::string output;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, run) != nullptr) {
    output += buffer;
  }
  const int status = pclose(run);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_EQ(output, "Tarnel demo installer: nothing to install, all done.\n");
}

TEST_F(InstallerFiles, RangeRequestsAnswer206WithExactlyTheRequestedBytes) {
  ServiceOptions options;
  options.demo_size = 100000;
  StartService(options);
  auto whole = client().Get(kDemoPath);
  ASSERT_TRUE(whole);
  const std::string& all = whole->body;

  struct Case {
    const char* range;
    std::size_t first;
    std::size_t length;
    const char* content_range;
  };
  for (const Case& c :
       {Case{"bytes=10-19", 10, 10, "bytes 10-19/100000"}, Case{"bytes=99990-", 99990, 10, "bytes 99990-99999/100000"},
        Case{"bytes=-5", 99995, 5, "bytes 99995-99999/100000"},
        Case{"bytes=99998-5000000", 99998, 2, "bytes 99998-99999/100000"},
        Case{"bytes=-200000", 0, 100000, "bytes 0-99999/100000"}}) {
    SCOPED_TRACE(c.range);
    auto part = client().Get(kDemoPath, {{"Range", c.range}});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->status, 206);
    EXPECT_EQ(part->get_header_value("Content-Range"), c.content_range);
    EXPECT_EQ(part->get_header_value("Content-Length"), std::to_string(c.length));
    EXPECT_EQ(part->body, all.substr(c.first, c.length));
  }
}

TEST_F(InstallerFiles, RangeBeyondTheEndAnswers416WithTheLength) {
  ServiceOptions options;
  options.demo_size = 100000;
  StartService(options);
  for (const char* range : {"bytes=100000-", "bytes=100000-100010", "bytes=-0"}) {
    SCOPED_TRACE(range);
    auto answer = client().Get(kDemoPath, {{"Range", range}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 416);
    EXPECT_EQ(answer->get_header_value("Content-Range"), "bytes */100000");
    EXPECT_TRUE(answer->body.empty());
  }
}

TEST_F(InstallerFiles, FolderFilesAreServedAndOtherNamesAnswer404) {
  std::string content;
  for (int i = 0; i < 70000; ++i) {
    content += static_cast<char>(i * 7 % 256);
  }
  WriteTempFile("files/tool.bin", content);
  WriteTempFile("secret.txt", "not for download");
  ServiceOptions options;
  options.files_dir = temp() / "files";
  StartService(options);

  auto file = client().Get("/files/tool.bin");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 200);
  EXPECT_EQ(file->get_header_value("Content-Length"), "70000");
  EXPECT_EQ(file->body, content);

  auto part = client().Get("/files/tool.bin", {{"Range", "bytes=65530-65545"}});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->body, content.substr(65530, 16));

  for (const char* path : {"/files/missing.bin", "/files/..%2Fsecret.txt", "/files/.%2E/secret.txt", "/files/"}) {
    SCOPED_TRACE(path);
    auto answer = client().Get(path);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404);
  }
  auto demo = client().Get(kDemoPath, {{"Range", "bytes=0-1"}});
  ASSERT_TRUE(demo);
  EXPECT_EQ(demo->body, "#!");  // the demo stays available beside the folder
}

TEST_F(InstallerFiles, RateOptionPacesTheTransfer) {
  ServiceOptions options;
  options.demo_size = 100000;
  options.rate = 200000;  // half a second for the whole file at the least
  StartService(options);
  const auto started = std::chrono::steady_clock::now();
  auto answer = client().Get(kDemoPath);
  const auto elapsed = std::chrono::steady_clock::now() - started;
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->body.size(), 100000u);
  EXPECT_GE(elapsed, std::chrono::milliseconds(450));
}

TEST_F(InstallerFiles, StopEndsAPacedTransferThatIsStillRunning) {
  ServiceOptions options;
  options.demo_size = 10 * 1024 * 1024;
  options.rate = 10000;  // would take over fifteen minutes
  StartService(options);
  std::atomic<std::size_t> received{0};
  std::thread download([&] {
    client().Get(kDemoPath, [&](const char*, std::size_t length) {
      received += length;
      return true;
    });
  });
  // Wait until bytes flow, then stop while the transfer runs.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (received == 0 && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const auto stopping = std::chrono::steady_clock::now();
  service().Stop();
  const auto stop_took = std::chrono::steady_clock::now() - stopping;
  download.join();
  EXPECT_GT(received.load(), 0u);
  EXPECT_LT(received.load(), options.demo_size);
  EXPECT_LT(stop_took, std::chrono::seconds(5));
}

}  // namespace
}  // namespace tarnel::standin::test
