// The tarnel-service command line, and the executable itself.
#include <csignal>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/wait.h>
#include <unistd.h>
#include <nlohmann/json.hpp>

#include "command_line.h"

namespace tarnel::standin {
namespace {

TEST(CommandLine, WithoutArgumentsGivesTheDefaults) {
  const CommandLine parsed = ParseCommandLine({});
  EXPECT_FALSE(parsed.show_help);
  EXPECT_EQ(parsed.options.port, 8765);
  EXPECT_EQ(parsed.options.bind_address, "127.0.0.1");
  EXPECT_TRUE(parsed.options.catalog_file.empty());
  EXPECT_TRUE(parsed.options.files_dir.empty());
  EXPECT_TRUE(parsed.options.log_file.empty());
  EXPECT_EQ(parsed.options.demo_size, 8u * 1024 * 1024);
  EXPECT_EQ(parsed.options.rate, 0u);
}

TEST(CommandLine, ValuesAreTakenFromTheNextArgumentOrAfterEquals) {
  const CommandLine parsed =
      ParseCommandLine({"--port", "9000", "--bind=0.0.0.0", "--catalog", "c.json", "--files=dl", "--log-file",
                        "events.jsonl", "--demo-size=5G", "--rate", "256K", "--help"});
  EXPECT_TRUE(parsed.show_help);
  EXPECT_EQ(parsed.options.port, 9000);
  EXPECT_EQ(parsed.options.bind_address, "0.0.0.0");
  EXPECT_EQ(parsed.options.catalog_file, "c.json");
  EXPECT_EQ(parsed.options.files_dir, "dl");
  EXPECT_EQ(parsed.options.log_file, "events.jsonl");
  EXPECT_EQ(parsed.options.demo_size, 5ULL << 30);
  EXPECT_EQ(parsed.options.rate, 256u * 1024);
}

TEST(CommandLine, UnusableArgumentsAreRefused) {
  const std::vector<std::vector<std::string>> bad = {{"--port"},
                                                     {"--port", "65536"},
                                                     {"--port", "-1"},
                                                     {"--port", "80x"},
                                                     {"--rate", "fast"},
                                                     {"--demo-size", "1T"},
                                                     {"--demo-size=", ""},
                                                     {"--bind="},
                                                     {"--verbose"},
                                                     {"--demo-size", "99999999999999999999"},
                                                     {"--rate", "17179869184G"}};
  for (const auto& arguments : bad) {
    SCOPED_TRACE(::testing::PrintToString(arguments));
    EXPECT_THROW(ParseCommandLine(arguments), UsageError);
  }
}

// Reads the child's standard output up to the first line break.
std::string ReadLine(int fd) {
  std::string line;
  char c = 0;
  while (read(fd, &c, 1) == 1 && c != '\n') {
    line += c;
  }
  return line;
}

TEST(ServiceExecutable, PrintsItsAddressWhenReadyAndStopsCleanlyOnSigterm) {
  int out[2];
  ASSERT_EQ(pipe(out), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(out[1], STDOUT_FILENO);
    close(out[0]);
    close(out[1]);
    execl(TARNEL_SERVICE_PATH, TARNEL_SERVICE_PATH, "--port", "0", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(out[1]);
  // Whatever fails below, the child does not outlive the test.
  struct Reaper {
    pid_t pid;
    int fd;
    ~Reaper() {
      if (pid > 0) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
      }
      close(fd);
    }
  } reaper{child, out[0]};
  const std::string line = ReadLine(out[0]);
  const std::string prefix = "tarnel-service listening on http://127.0.0.1:";
  ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
  const int port = std::stoi(line.substr(prefix.size()));

  httplib::Client client("127.0.0.1", port);
  auto answer = client.Get("/downloader.php/index/info?id=1");
  ASSERT_TRUE(answer);
  EXPECT_EQ(nlohmann::json::parse(answer->body)["code"], 200);
  auto logged = client.Post(
      "/downloader.php/index/log",
      httplib::MultipartFormDataItems{{"downloader_id", "1", "", ""}, {"event", "5", "", ""}, {"uuid", "x", "", ""}});
  ASSERT_TRUE(logged);
  const nlohmann::json event = nlohmann::json::parse(ReadLine(out[0]));
  EXPECT_EQ(event["event"], "5");

  kill(child, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  reaper.pid = 0;
  EXPECT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace tarnel::standin
