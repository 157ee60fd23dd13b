#include "job_run.h"

#include <curl/curl.h>

#include <chrono>
#include <memory>

#include "download/download_messages.h"
#include "download/download_worker.h"
#include "download/progress_mailbox.h"
#include "page_ticker.h"
#include "platform/window_handle.h"
#include "process_memory.h"
#include "ui_loop.h"

namespace tarnel::bench {

namespace {
constexpr std::chrono::milliseconds kPageTickInterval{10};
}

JobRun RunDownloadJob(const std::string& url, const std::string& path) {
  JobRun run;
  run.peakReset = ResetPeakResident();
  run.peakBeforeKiB = ReadPeakResidentKiB();

  UiLoop loop;
  auto progress = std::make_shared<download::ProgressMailbox>();
  BenchWindow window(progress);
  auto handle = platform::WindowHandle::Create([&loop](std::function<void()> task) { loop.Post(std::move(task)); },
                                               [&window](std::uint32_t message, platform::WPARAM wParam,
                                                         platform::LPARAM lParam) {
                                                 return window.Procedure(message, wParam, lParam);
                                               });
  PageTicker page(handle, kPageTickMessage, kPageTickInterval);

  // As the main window starts a job: the start message, then the handle and
  // the worker.
  const auto start = std::chrono::steady_clock::now();
  handle->PostMessage(download::WM_DNLD_START, 0, 0);
  auto worker = std::make_unique<download::DownloadWorker>(
      download::DownloadRequest{url, path, curl_easy_init(), handle, progress, download::TransferLimits{}});
  run.finished = window.WaitForEnd();

  page.Stop();
  worker.reset();  // joins the ended worker thread
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
