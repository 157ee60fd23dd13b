#pragma once
// Streams one installer file into an httplib response in chunks, optionally
// paced to a byte rate so that a download visibly progresses. httplib calls
// Send on the worker thread that writes the response, once per chunk.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "installer_file.h"

namespace httplib {
class DataSink;
}

namespace tarnel::standin {

class ThrottledTransfer {
 public:
  // `bytes_per_second` 0 means unpaced. `stopping` is the service's stop flag:
  // once set, the transfer ends at its next chunk or pause.
  // `sent_total`, when given, counts the body bytes written.
  // With `cut_after`, the response ends (the connection is closed) once that
  // many body bytes are out, although more were announced.
  ThrottledTransfer(std::unique_ptr<InstallerFile> file, std::uint64_t bytes_per_second,
                    const std::atomic<bool>& stopping, std::optional<std::uint64_t> cut_after = std::nullopt,
                    std::atomic<std::uint64_t>* sent_total = nullptr);

  // httplib's ContentProvider: writes one chunk of at most `length` bytes from
  // `offset`. False ends the response (read failure, client gone, stopping).
  bool Send(std::size_t offset, std::size_t length, httplib::DataSink& sink);

 private:
  // Waits until `sent_` bytes are due at the configured rate; false when stopping.
  bool WaitForTurn();

  std::unique_ptr<InstallerFile> file_;
  std::uint64_t rate_;
  const std::atomic<bool>& stopping_;
  std::optional<std::uint64_t> cut_after_;
  std::atomic<std::uint64_t>* sent_total_;  // body bytes of all transfers, or nullptr
  std::vector<char> buffer_;
  std::chrono::steady_clock::time_point started_{};
  std::uint64_t sent_ = 0;
};

}  // namespace tarnel::standin
