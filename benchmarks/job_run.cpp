#include "job_run.h"

#include <chrono>
#include <memory>
#include <mutex>

#include "download/download_job.h"
#include "download/download_messages.h"
#include "page_ticker.h"
#include "platform/window_handle.h"
#include "process_memory.h"
#include "ui_loop.h"

namespace tarnel::bench {

namespace {
constexpr std::chrono::milliseconds kPageTickInterval{10};
}

namespace {
// The waits the job asked for, recorded on its worker thread.
struct WaitLog {
  std::mutex mutex;
  int count = 0;
  std::chrono::milliseconds total{0};
};
}  // namespace

JobRun RunDownloadJob(const std::string& url, const std::string& path,
                      const std::optional<download::Sha256Digest>& expectedSha256, bool instantRetryWaits) {
  JobRun run;
  run.peakReset = ResetPeakResident();
  run.peakBeforeKiB = ReadPeakResidentKiB();

  UiLoop loop;
  BenchWindow window;
  auto handle = platform::WindowHandle::Create(
      [&loop](std::function<void()> task) { loop.Post(std::move(task)); },
      [&window](std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) {
        return window.Procedure(message, wParam, lParam);
      });
  PageTicker page(handle, kPageTickMessage, kPageTickInterval);

  // As the main window starts a job: the start message, then the handle and
  // the worker.
  const auto start = std::chrono::steady_clock::now();
  handle->PostMessage(download::WM_DNLD_START, 0, 0);
  download::JobRequest request;
  request.url = url;
  request.path = path;
  request.replaceExisting = true;
  request.expectedSha256 = expectedSha256;
  request.window = handle;
  auto waits = std::make_shared<WaitLog>();
  download::JobHooks hooks;
  if (instantRetryWaits) {
    hooks.wait = [waits](std::chrono::milliseconds delay) {
      std::lock_guard lock(waits->mutex);
      ++waits->count;
      waits->total += delay;
    };
  }
  auto job = std::make_unique<download::DownloadJob>(std::move(request), std::move(hooks));
  window.Attach(job.get());
  run.finished = window.WaitForEnd();

  page.Stop();
  loop.Post([&window] { window.Attach(nullptr); });
  run.attempts = job->Outcome().attempts;
  job.reset();  // joins the ended worker thread
  {
    std::lock_guard lock(waits->mutex);
    run.retryWaits = waits->count;
    run.retryWaitSeconds = std::chrono::duration<double>(waits->total).count();
  }
  loop.Post([handle] { handle->Destroy(); });
  loop.Stop();
  run.peakAfterKiB = ReadPeakResidentKiB();

  run.window = window.Figures();
  run.seconds = std::chrono::duration<double>(run.window.endTime - start).count();
  run.pageTicksPosted = page.Posted();
  run.peakQueueLength = loop.PeakQueueLength();
  return run;
}

}  // namespace tarnel::bench
