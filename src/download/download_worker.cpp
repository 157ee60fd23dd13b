#include "download/download_worker.h"

#include <cstdio>
#include <vector>

#include "download/download_messages.h"
#include "download/file_name.h"

namespace tarnel::download {

namespace {
constexpr size_t kFileBufferSize = 1 << 20;
}

DownloadWorker::DownloadWorker(DownloadRequest request) : request_(std::move(request)) {
  thread_ = std::thread([this] { DownloadThreadProc(this); });
}

DownloadWorker::~DownloadWorker() {
  Cancel();
  if (thread_.joinable()) thread_.join();
}

void DownloadWorker::Post(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) {
  if (request_.window) request_.window->PostMessage(message, wParam, lParam);
}

unsigned DownloadThreadProc(DownloadWorker* worker) {
  const DownloadRequest& request = worker->request_;
  // A name that cannot be a file of its own fails before the folder is touched.
  if (request.curl == nullptr || !IsUsableFilePath(request.path)) {
    if (request.curl != nullptr) curl_easy_cleanup(request.curl);
    worker->Post(WM_DNLD_FAILED);
    return 1;
  }
  const std::string partPath = request.path + ".part";
  const bool complete = worker->Transfer(partPath);
  curl_easy_cleanup(request.curl);
  if (complete && std::rename(partPath.c_str(), request.path.c_str()) == 0) {
    // The file is complete under its name before the page hears of it.
    worker->Post(WM_DNLD_FINISHED);
    return 0;
  }
  std::remove(partPath.c_str());
  worker->Post(WM_DNLD_FAILED);
  return 1;
}

bool DownloadWorker::Transfer(const std::string& partPath) {
  std::FILE* file = std::fopen(partPath.c_str(), "wb");
  if (file == nullptr) return false;
  std::vector<char> buffer(kFileBufferSize);
  std::setvbuf(file, buffer.data(), _IOFBF, buffer.size());

  CURL* curl = request_.curl;
  const TransferLimits& limits = request_.limits;
  curl_easy_setopt(curl, CURLOPT_URL, request_.url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToFileCallback);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, file);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, DownloadProgressCallback);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, this);
  // An error answer is a failure, not an installer.
  curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
  // Redirects are followed, but only ever to web addresses.
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, limits.maxRedirects);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  // A stalled transfer ends instead of hanging for ever.
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, limits.lowSpeedLimit);
  curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.lowSpeedTimeSeconds);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  if (!limits.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, limits.caFile.c_str());

  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  // A failed close loses buffered bytes: that is a failed transfer too.
  const bool closed = std::fclose(file) == 0;
  return result == CURLE_OK && status < 400 && closed;
}

size_t WriteToFileCallback(char* data, size_t size, size_t count, void* file) {
  return std::fwrite(data, size, count, static_cast<std::FILE*>(file)) * size;
}

int DownloadProgressCallback(void* worker, curl_off_t dltotal, curl_off_t dlnow, curl_off_t, curl_off_t) {
  auto* self = static_cast<DownloadWorker*>(worker);
  if (self->cancelled_.load()) return 1;
  if (dltotal > 0 && self->request_.progress &&
      self->request_.progress->Update(static_cast<std::uint64_t>(dlnow), static_cast<std::int64_t>(dltotal))) {
    self->Post(WM_DL_PROGRESS, static_cast<platform::WPARAM>(dlnow), static_cast<platform::LPARAM>(dltotal));
  }
  return 0;
}

}  // namespace tarnel::download
