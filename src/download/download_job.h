#pragma once
// The download job: one file fetched on a worker thread, retried and resumed
// across transient failures, checked against its SHA-256 and put under its
// name only when it is complete and right.
//
// Threads and ownership:
// - The UI thread constructs the job (the worker starts at once), may call
//   Cancel() and destroys it. The destructor cancels, joins the worker and
//   removes the part file unless it was handed out with TakeKeptPart().
// - The worker never touches the window object: it reports by posting
//   WM_DL_PROGRESS, then WM_DNLD_FINISHED or WM_DNLD_FAILED (wParam the
//   FailureReason, lParam the HTTP status or 0) to the window handle. Exactly
//   one of the two ends every job, also a cancelled one.
// - What the UI thread reads after the end message (FinalPath, Outcome,
//   TakeKeptPart) was written by the worker before it posted.
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "download/failure_reason.h"
#include "download/part_file.h"
#include "download/progress_mailbox.h"
#include "download/resume_rules.h"
#include "download/sha256.h"
#include "download/transfer_limits.h"
#include "platform/window_handle.h"

namespace tarnel::download {

// libcurl's proxy for a URL: nothing to keep libcurl's own rules, an empty
// text for a direct connection. Called on the worker thread.
using ProxyLookup = std::function<std::optional<std::string>(const std::string& url)>;

// A part file left by a job that failed for network or server reasons, with
// what is needed to resume it under the same rules.
struct KeptPart {
  std::string url;
  std::string target;  // the path the job was asked to write
  std::string partPath;
  FileIdentity identity;  // the part file as the job left it
  Validators validators;  // of the first answer
};

struct JobRequest {
  std::string url;
  std::string path;              // the target the page's mode chose
  bool replaceExisting = false;  // false: an existing file keeps its name, the download takes "name (1).ext"
  std::optional<Sha256Digest> expectedSha256;
  std::shared_ptr<platform::WindowHandle> window;
  TransferLimits limits;
  ProxyLookup proxy;
  std::optional<KeptPart> resume;  // an earlier job's part of the same URL and target
};

// Seams for tests; a real run leaves them empty.
struct JobHooks {
  // Waits between attempts instead of the job's own interruptible wait.
  std::function<void(std::chrono::milliseconds)> wait;
  // A number in [-1, 1] that scales the ±20 % jitter of the backoff.
  std::function<double()> jitter;
};

enum class JobState { kRunning, kWaiting, kFinished, kFailed };

struct JobOutcome {
  JobState state = JobState::kRunning;
  FailureReason reason = FailureReason::kNetwork;  // when failed
  long httpStatus = 0;                             // with FailureReason::kHttp
  std::string finalPath;                           // when finished
  FileIdentity finalIdentity;                      // of the finished file
  int attempts = 0;
};

class DownloadJob {
 public:
  explicit DownloadJob(JobRequest request, JobHooks hooks = {});
  ~DownloadJob();
  DownloadJob(const DownloadJob&) = delete;
  DownloadJob& operator=(const DownloadJob&) = delete;

  // Any thread. Ends a transfer or a wait at once; the job then fails with
  // FailureReason::kCancelled and removes its part file.
  void Cancel();

  JobState State() const { return state_.load(); }
  // UI thread, after the end message.
  JobOutcome Outcome() const;
  std::optional<KeptPart> TakeKeptPart();
  // UI thread. The newest progress counters not yet taken, in whole-file terms.
  std::optional<ProgressCounters> TakeProgress() { return progress_->Take(); }

 private:
  friend class JobAttempt;
  void Run();
  void Finish(JobOutcome outcome);
  // Waits `delay` or until cancelled; false when cancelled.
  bool WaitBeforeRetry(std::chrono::milliseconds delay);
  bool Cancelled() const { return cancelled_.load(); }
  void Post(std::uint32_t message, platform::WPARAM wParam = 0, platform::LPARAM lParam = 0);

  JobRequest request_;
  JobHooks hooks_;
  std::shared_ptr<ProgressMailbox> progress_;
  std::atomic<JobState> state_{JobState::kRunning};
  std::atomic<bool> cancelled_{false};
  std::atomic<void*> multi_{nullptr};  // the running attempt's multi handle, woken by Cancel()

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  JobOutcome outcome_;
  std::optional<KeptPart> kept_;
  std::string partPath_;  // removed by the destructor unless kept

  std::thread thread_;
};

}  // namespace tarnel::download
