#pragma once
// Settings of one stand-in service instance, filled from the command line by
// tarnel-service or directly by tests.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace tarnel::standin {

struct ServiceOptions {
  std::string bind_address = "127.0.0.1";
  int port = 8765;                     // 0: any free port
  std::filesystem::path catalog_file;  // empty: the built-in demo package
  std::filesystem::path files_dir;     // empty: only the demo installer
  std::filesystem::path log_file;      // empty: no log file
  std::filesystem::path request_log;   // empty: requests are not logged
  std::uint64_t demo_size = 8 * 1024 * 1024;
  std::uint64_t rate = 0;  // bytes per second for /files/, 0: unlimited
  // Cut answers from /files/ short: the first `drop_count` answers whose body
  // is longer than `drop_after` bytes end (connection closed) after that many
  // body bytes. Lets a client's resume be tried.
  std::optional<std::uint64_t> drop_after;
  std::uint64_t drop_count = 1;
  std::ostream* event_output = nullptr;  // receives one JSON line per event; may be nullptr
};

}  // namespace tarnel::standin
