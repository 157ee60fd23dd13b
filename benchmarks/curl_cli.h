#pragma once
// The reference download: the curl command-line tool, run as its own process.
#include <string>

namespace tarnel::bench {

struct CurlCliRun {
  bool ok = false;
  double seconds = 0;   // from spawning the process to its exit
  std::string problem;  // empty when ok
};

// Runs `curl -s -o <path> <url>` (found on PATH) and waits for it.
CurlCliRun RunCurlCli(const std::string& url, const std::string& path);

}  // namespace tarnel::bench
