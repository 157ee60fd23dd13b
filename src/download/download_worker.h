#pragma once
// The download worker: one thread that transfers one file with libcurl.
//
// The worker never touches the main window object: it holds copies of the
// URL and path, the transfer handle, the window's posting handle and the
// progress mailbox, and reports only by posting messages. It writes to
// "<path>.part" and renames that onto the path after a complete transfer, so
// no failed transfer ever leaves a broken file under the target's name.
#include <curl/curl.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "download/progress_mailbox.h"
#include "download/transfer_limits.h"
#include "platform/window_handle.h"

namespace tarnel::download {

struct DownloadRequest {
  std::string url;
  std::string path;
  CURL* curl = nullptr;  // owned by the worker from now on
  std::shared_ptr<platform::WindowHandle> window;
  std::shared_ptr<ProgressMailbox> progress;
  TransferLimits limits;
};

class DownloadWorker {
 public:
  // UI thread. Starts the thread at once.
  explicit DownloadWorker(DownloadRequest request);
  // UI thread. Cancels a running transfer and waits for the thread; the
  // partial file is removed.
  ~DownloadWorker();
  DownloadWorker(const DownloadWorker&) = delete;
  DownloadWorker& operator=(const DownloadWorker&) = delete;

  // Any thread. The transfer stops at its next progress call.
  void Cancel() { cancelled_.store(true); }

  // The worker's procedure; returns 0 after success, 1 after a failure.
  friend unsigned DownloadThreadProc(DownloadWorker* worker);
  friend int DownloadProgressCallback(void* worker, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal,
                                      curl_off_t ulnow);

 private:
  bool Transfer(const std::string& partPath);
  void Post(std::uint32_t message, platform::WPARAM wParam = 0, platform::LPARAM lParam = 0);

  DownloadRequest request_;
  std::atomic<bool> cancelled_{false};
  std::thread thread_;
};

unsigned DownloadThreadProc(DownloadWorker* worker);
// Writes a block to the open file; a short write fails the transfer.
size_t WriteToFileCallback(char* data, size_t size, size_t count, void* file);
// Hands the counters to the mailbox and posts when it says so; non-zero
// (cancel) once the worker has been cancelled.
int DownloadProgressCallback(void* worker, curl_off_t dltotal, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow);

}  // namespace tarnel::download
