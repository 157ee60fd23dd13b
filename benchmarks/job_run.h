#pragma once
// One run of the real download job, driven as the main window drives it:
// a window handle whose posts run on a stand-in main loop, a progress
// mailbox, the worker thread, and a page that posts every 10 ms meanwhile.
#include <cstdint>
#include <optional>
#include <string>

#include "bench_window.h"
#include "download/sha256.h"

namespace tarnel::bench {

struct JobRun {
  bool finished = false;
  double seconds = 0;  // from the start message to the finish being handled
  WindowFigures window;
  std::uint64_t pageTicksPosted = 0;
  std::size_t peakQueueLength = 0;
  // VmHWM just before the run (after the peak was reset, when it could be)
  // and just after it, in KiB.
  bool peakReset = false;
  std::optional<std::uint64_t> peakBeforeKiB;
  std::optional<std::uint64_t> peakAfterKiB;
};

// Main thread of the benchmark. Downloads url to path, checked against
// `expectedSha256` when given; curl_global_init must have been called.
JobRun RunDownloadJob(const std::string& url, const std::string& path,
                      const std::optional<download::Sha256Digest>& expectedSha256 = std::nullopt);

}  // namespace tarnel::bench
