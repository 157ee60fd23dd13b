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
  // The job's own count of attempts, and the waits between them that it asked
  // for; with `instantRetryWaits` none of them was actually waited.
  int attempts = 0;
  int retryWaits = 0;
  double retryWaitSeconds = 0;
};

// Main thread of the benchmark. Downloads url to path, checked against
// `expectedSha256` when given; curl_global_init must have been called. With
// `instantRetryWaits` the job's backoff between attempts returns at once
// (through JobHooks::wait), so a run with retries times the transfers and
// resumes only; the waits asked for are still counted.
JobRun RunDownloadJob(const std::string& url, const std::string& path,
                      const std::optional<download::Sha256Digest>& expectedSha256 = std::nullopt,
                      bool instantRetryWaits = false);

}  // namespace tarnel::bench
