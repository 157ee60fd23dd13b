#include "event_log.h"

#include <stdexcept>

namespace tarnel::standin {

EventLog::EventLog(std::ostream* echo, const std::filesystem::path& file) : echo_(echo) {
  if (!file.empty()) {
    file_.open(file, std::ios::out | std::ios::app | std::ios::binary);
    if (!file_) {
      throw std::runtime_error("cannot open log file " + file.string() + " for appending");
    }
  }
}

void EventLog::Record(const nlohmann::ordered_json& record) {
  const std::string line =
      record.dump(-1, ' ', /*ensure_ascii=*/false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
  std::lock_guard lock(mutex_);
  if (echo_ != nullptr) {
    *echo_ << line << std::flush;
  }
  if (file_.is_open()) {
    file_ << line << std::flush;
  }
  if (records_.size() == kKeptInMemory) {
    records_.erase(records_.begin());
  }
  records_.push_back(nlohmann::json(record));
}

std::vector<nlohmann::json> EventLog::Records() const {
  std::lock_guard lock(mutex_);
  return records_;
}

}  // namespace tarnel::standin
