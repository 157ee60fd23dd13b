#include "curl_cli.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <vector>

extern char** environ;

namespace tarnel::bench {

CurlCliRun RunCurlCli(const std::string& url, const std::string& path) {
  CurlCliRun run;
  // An argument vector, no shell: the path and URL are passed as they are.
  std::vector<std::string> args{"curl", "-s", "-o", path, url};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ);
  if (spawned != 0) {
    run.problem = std::string("cannot start curl: ") + std::strerror(spawned);
    return run;
  }
  int status = 0;
  pid_t waited = 0;
  do {
    waited = waitpid(pid, &status, 0);
  } while (waited < 0 && errno == EINTR);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (waited < 0) {
    run.problem = std::string("waiting for curl: ") + std::strerror(errno);
  } else if (!WIFEXITED(status)) {
    run.problem = "curl ended by a signal";
  } else if (WEXITSTATUS(status) != 0) {
    run.problem = "curl exited with " + std::to_string(WEXITSTATUS(status));
  } else {
    run.ok = true;
    const auto syncStart = std::chrono::steady_clock::now();
    const int file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (file >= 0 && fsync(file) == 0) {
      run.syncSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - syncStart).count();
    }
    if (file >= 0) close(file);
  }
  return run;
}

}  // namespace tarnel::bench
