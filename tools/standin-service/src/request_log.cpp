#include "request_log.h"

#include <stdexcept>

namespace tarnel::standin {

RequestLog::RequestLog(const std::filesystem::path& file) {
  file_.open(file, std::ios::out | std::ios::app | std::ios::binary);
  if (!file_) {
    throw std::runtime_error("cannot open request log " + file.string() + " for appending");
  }
}

void RequestLog::Record(const std::string& method, const std::string& target) {
  // One write per line, so lines from concurrent requests never interleave.
  const std::string line = method + " " + target + "\n";
  std::lock_guard lock(mutex_);
  file_ << line << std::flush;
}

}  // namespace tarnel::standin
