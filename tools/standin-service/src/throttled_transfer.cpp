#include "throttled_transfer.h"

#include <algorithm>
#include <thread>

#include <httplib.h>

namespace tarnel::standin {
namespace {

constexpr std::size_t kMaxChunk = 64 * 1024;
// Pauses are cut into slices of this length so that a stop is noticed quickly.
constexpr auto kPauseSlice = std::chrono::milliseconds(50);

std::size_t ChunkSize(std::uint64_t rate) {
  if (rate == 0) {
    return kMaxChunk;
  }
  // About twenty chunks a second keeps the progress smooth.
  return static_cast<std::size_t>(std::clamp<std::uint64_t>(rate / 20, 1, kMaxChunk));
}

}  // namespace

ThrottledTransfer::ThrottledTransfer(std::unique_ptr<InstallerFile> file, std::uint64_t bytes_per_second,
                                     const std::atomic<bool>& stopping, std::optional<std::uint64_t> cut_after,
                                     std::atomic<std::uint64_t>* sent_total)
    : file_(std::move(file)),
      rate_(bytes_per_second),
      stopping_(stopping),
      cut_after_(cut_after),
      sent_total_(sent_total),
      buffer_(ChunkSize(bytes_per_second)) {}

bool ThrottledTransfer::Send(std::size_t offset, std::size_t length, httplib::DataSink& sink) {
  if (cut_after_ && sent_ >= *cut_after_) {
    return false;  // httplib closes the connection with the body incomplete
  }
  if (stopping_ || !WaitForTurn()) {
    return false;
  }
  std::size_t wanted = std::min(length, buffer_.size());
  if (cut_after_) {
    wanted = static_cast<std::size_t>(std::min<std::uint64_t>(wanted, *cut_after_ - sent_));
  }
  const std::size_t got = file_->Read(offset, buffer_.data(), wanted);
  if (got == 0) {
    return false;  // the file shrank or cannot be read: end the response short
  }
  // Counted before the write so that a client holding the bytes always finds
  // them counted; taken back if the socket refused them.
  if (sent_total_ != nullptr) {
    *sent_total_ += got;
  }
  if (!sink.write(buffer_.data(), got)) {
    if (sent_total_ != nullptr) {
      *sent_total_ -= got;
    }
    return false;
  }
  sent_ += got;
  return true;
}

bool ThrottledTransfer::WaitForTurn() {
  if (rate_ == 0) {
    return true;
  }
  const auto now = std::chrono::steady_clock::now();
  if (sent_ == 0) {
    started_ = now;
    return true;
  }
  const auto due = started_ + std::chrono::microseconds(static_cast<std::int64_t>(
                                  static_cast<long double>(sent_) * 1'000'000.0L / static_cast<long double>(rate_)));
  while (std::chrono::steady_clock::now() < due) {
    if (stopping_) {
      return false;
    }
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(due - std::chrono::steady_clock::now(), kPauseSlice));
  }
  return !stopping_;
}

}  // namespace tarnel::standin
