#pragma once
// What the download job tests share: scripted answers, a job run that
// collects what the job posts to its window, and a fixture with a folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <mutex>

#include "download/download_job.h"
#include "download/download_messages.h"
#include "download/sha256.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace tarnel::download::jobtest {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::ScriptedRequest;
using test::ScriptedResponse;
using test::ScriptedServer;

inline std::string Body(std::size_t size, int seed = 0) {
  std::string data(size, '\0');
  for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 131 + static_cast<std::size_t>(seed)) % 251);
  return data;
}

inline Sha256Digest DigestOf(const std::string& data) {
  Sha256 sha;
  sha.Update(data.data(), data.size());
  return sha.Final();
}

inline ScriptedResponse Whole(const std::string& body, const std::string& etag = "\"v1\"") {
  ScriptedResponse response;
  response.headers = {{"ETag", etag}};
  response.body = body;
  return response;
}

// The answer a server that honours Range and If-Range gives.
inline ScriptedResponse Ranged(const ScriptedRequest& request, const std::string& body,
                               const std::string& etag = "\"v1\"") {
  const std::string range = request.Header("range");
  if (range.empty() || (request.headers.count("if-range") && request.Header("if-range") != etag))
    return Whole(body, etag);
  const std::size_t first = std::stoull(range.substr(range.find('=') + 1));
  ScriptedResponse response;
  if (first >= body.size()) {
    response.status = 416;
    return response;
  }
  response.status = 206;
  response.headers = {{"ETag", etag},
                      {"Content-Range", "bytes " + std::to_string(first) + "-" + std::to_string(body.size() - 1) + "/" +
                                            std::to_string(body.size())}};
  response.body = body.substr(first);
  return response;
}

// Runs one job and collects what it posts to its window. The jitter is fixed
// before the worker starts: the worker reads it at its first retry.
class JobRun {
 public:
  explicit JobRun(JobRequest request, bool realWait = false, double jitter = 0.0) {
    window_ = platform::WindowHandle::Create([](std::function<void()> task) { task(); },
                                             [this](std::uint32_t message, platform::WPARAM w, platform::LPARAM l) {
                                               std::lock_guard lock(mutex_);
                                               if (message == WM_DL_PROGRESS) progress_.push_back(job_->TakeProgress());
                                               if (message == WM_DNLD_FINISHED || message == WM_DNLD_FAILED) {
                                                 // The last counters wait in the mailbox for the finish.
                                                 progress_.push_back(job_->TakeProgress());
                                                 end_ = message;
                                                 reason_ = w;
                                                 status_ = l;
                                                 ended_.notify_all();
                                               }
                                               return platform::LRESULT{0};
                                             });
    request.window = window_;
    JobHooks hooks;
    if (!realWait) hooks.wait = [this](std::chrono::milliseconds delay) { waits.push_back(delay); };
    hooks.jitter = [jitter] { return jitter; };
    std::lock_guard lock(mutex_);
    job_ = std::make_unique<DownloadJob>(std::move(request), hooks);
  }
  ~JobRun() {
    job_.reset();
    window_->Destroy();
  }
  bool WaitForEnd(std::chrono::milliseconds timeout = 30s) {
    std::unique_lock lock(mutex_);
    return ended_.wait_for(lock, timeout, [this] { return end_ != 0; });
  }
  bool Finished() const { return end_ == WM_DNLD_FINISHED; }
  FailureReason Reason() const { return static_cast<FailureReason>(reason_); }
  long Status() const { return static_cast<long>(status_); }
  DownloadJob& job() { return *job_; }
  std::vector<std::uint64_t> ProgressNow() {
    std::lock_guard lock(mutex_);
    std::vector<std::uint64_t> now;
    for (const auto& p : progress_)
      if (p) now.push_back(p->now);
    return now;
  }
  std::optional<ProgressCounters> LastProgress() {
    std::lock_guard lock(mutex_);
    for (auto it = progress_.rbegin(); it != progress_.rend(); ++it)
      if (*it) return *it;
    return std::nullopt;
  }

  std::vector<std::chrono::milliseconds> waits;

 private:
  std::mutex mutex_;
  std::condition_variable ended_;
  std::shared_ptr<platform::WindowHandle> window_;
  std::unique_ptr<DownloadJob> job_;
  std::vector<std::optional<ProgressCounters>> progress_;
  std::uint32_t end_ = 0;
  platform::WPARAM reason_ = 0;
  platform::LPARAM status_ = 0;
};

class DownloadJobTest : public ::testing::Test {
 protected:
  JobRequest Request(const std::string& url, const std::string& name = "setup.exe") {
    JobRequest request;
    request.url = url;
    request.path = dir.file(name);
    return request;
  }
  std::vector<std::string> Folder() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.path())) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  test::TempDir dir;
  const std::string body = Body(1 << 20);
};

}  // namespace tarnel::download::jobtest
