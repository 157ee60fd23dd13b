#pragma once
// Sends event reports in the background so that the caller (the main thread,
// handling page messages) never waits for the network.
//
// Threads and ownership:
// - Enqueue may be called from any thread. It only queues the report and, on
//   the first call, starts the sender thread; it never waits for a transfer.
// - The sender thread, owned by this object, takes reports from a FIFO queue
//   and sends them one at a time with SendEventReport, so the reports reach the
//   endpoint in the order and with the content they were queued with.
// - The thread is started lazily so that nothing runs a transfer before the
//   process has called curl_global_init.
// - The destructor runs on the owning thread once no other thread can still
//   call Enqueue. Reports still queued get up to `drainBudget` in all to go
//   out; after that the rest are dropped, a transfer in flight is aborted and
//   the thread is joined. The transfer looks at the abort flag at least every
//   50 ms, so the destructor returns within drainBudget plus about 50 ms even
//   when the endpoint never answers.
// - At most `maxQueued` reports wait behind the one in flight; further reports
//   are dropped, so an endpoint that hangs cannot make the queue grow without
//   bound.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include "service/event_report.h"
#include "service/transfer_settings.h"

namespace tarnel::service {

class EventSender {
 public:
  static constexpr std::size_t kDefaultMaxQueued = 1000;

  explicit EventSender(std::string logUrl, TransferSettings settings = {},
                       std::chrono::milliseconds drainBudget = std::chrono::seconds(2),
                       std::size_t maxQueued = kDefaultMaxQueued);
  ~EventSender();

  EventSender(const EventSender&) = delete;
  EventSender& operator=(const EventSender&) = delete;

  // Queues `report` for sending. Any thread; returns without waiting.
  void Enqueue(EventReport report);

 private:
  // Body of the sender thread.
  void Run();

  const std::string logUrl_;
  const TransferSettings settings_;
  const std::chrono::milliseconds drainBudget_;
  const std::size_t maxQueued_;

  std::mutex mutex_;
  std::condition_variable wake_;  // sender thread: a report was queued or stop was asked
  std::condition_variable idle_;  // destructor: the queue drained and nothing is in flight
  std::deque<EventReport> queue_;
  bool sending_ = false;   // a transfer is in flight
  bool stopping_ = false;  // the destructor has begun
  std::atomic<bool> cancel_{false};
  std::thread thread_;
};

}  // namespace tarnel::service
