#pragma once
// Where reported events go: one JSON line each to an optional stream (the
// service's standard output) and an optional file opened for appending, plus
// an in-memory list for in-process tests. Thread-safe; the request handlers
// record from the server's worker threads.
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <ostream>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarnel::standin {

class EventLog {
 public:
  // The newest this many records are kept in memory.
  static constexpr std::size_t kKeptInMemory = 1000;

  // `echo` may be nullptr and `file` empty. Throws std::runtime_error when the
  // file cannot be opened for appending.
  EventLog(std::ostream* echo, const std::filesystem::path& file);

  // Writes the record as one line and flushes, so a reader sees it at once.
  // Invalid UTF-8 in a value is written as U+FFFD.
  void Record(const nlohmann::ordered_json& record);

  std::vector<nlohmann::json> Records() const;

 private:
  mutable std::mutex mutex_;
  std::ostream* echo_;
  std::ofstream file_;
  std::vector<nlohmann::json> records_;
};

}  // namespace tarnel::standin
