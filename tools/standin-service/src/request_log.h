#pragma once
// An optional file that gets one line per request the service receives:
// the method and the target as sent ("GET /downloader.php/index/info?id=1"),
// flushed at once so another process can follow it. Thread-safe; requests
// are recorded from the server's worker threads.
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

namespace tarnel::standin {

class RequestLog {
 public:
  // Opens `file` for appending. Throws std::runtime_error when it cannot.
  explicit RequestLog(const std::filesystem::path& file);

  void Record(const std::string& method, const std::string& target);

 private:
  std::mutex mutex_;
  std::ofstream file_;
};

}  // namespace tarnel::standin
