#include "service/event_sender.h"

#include <system_error>
#include <utility>

namespace tarnel::service {

EventSender::EventSender(std::string logUrl, TransferSettings settings, std::chrono::milliseconds drainBudget,
                         std::size_t maxQueued)
    : logUrl_(std::move(logUrl)), settings_(std::move(settings)), drainBudget_(drainBudget), maxQueued_(maxQueued) {}

EventSender::~EventSender() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  wake_.notify_all();
  if (thread_.joinable()) {
    idle_.wait_for(lock, drainBudget_, [this] { return queue_.empty() && !sending_; });
    // Whatever has not gone out within the budget is dropped.
    queue_.clear();
    cancel_ = true;
  }
  lock.unlock();
  if (thread_.joinable()) thread_.join();
}

void EventSender::Enqueue(EventReport report) {
  std::lock_guard lock(mutex_);
  if (stopping_ || queue_.size() >= maxQueued_) return;
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread(&EventSender::Run, this);
    } catch (const std::system_error&) {
      return;  // no thread, no report: reports are fire and forget
    }
  }
  queue_.push_back(std::move(report));
  wake_.notify_one();
}

void EventSender::Run() {
  std::unique_lock lock(mutex_);
  while (true) {
    wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty() || cancel_) break;  // stopping with nothing left, or out of budget
    EventReport report = std::move(queue_.front());
    queue_.pop_front();
    sending_ = true;
    lock.unlock();
    SendEventReport(logUrl_, report, settings_, &cancel_);
    lock.lock();
    sending_ = false;
    if (queue_.empty()) idle_.notify_all();
  }
}

}  // namespace tarnel::service
