#pragma once
// The reference download: the curl command-line tool, run as its own process.
#include <string>

namespace tarnel::bench {

struct CurlCliRun {
  bool ok = false;
  double seconds = 0;  // from spawning the process to its exit
  // Then, apart: fsync of the file curl left, so that its data is on disk
  // as the job's is before the job names its file. Negative when it failed.
  double syncSeconds = -1;
  std::string problem;  // empty when ok
};

// Runs `curl -s -o <path> <url>` (found on PATH), waits for it, then times
// an fsync of the file.
CurlCliRun RunCurlCli(const std::string& url, const std::string& path);

}  // namespace tarnel::bench
