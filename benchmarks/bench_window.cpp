#include "bench_window.h"

#include <optional>

#include "bridge/notifications.h"
#include "download/download_messages.h"
#include "page_ticker.h"
#include "platform/text.h"

namespace tarnel::bench {

BenchWindow::BenchWindow() {
  // A reading every 10 ms for ten minutes, so recording does not allocate.
  figures_.pageDelaysMs.reserve(60'000);
}

platform::LRESULT BenchWindow::Procedure(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) {
  switch (message) {
    case kPageTickMessage:
      figures_.pageDelaysMs.push_back(static_cast<double>(PageTicker::TickTime() - wParam) / 1e6);
      break;
    case download::WM_DNLD_START: SendOther(bridge::MakeStartNotification()); break;
    case download::WM_DL_PROGRESS: {
      // The newest counters the worker left, which may be newer than the message's.
      if (!job_) break;
      if (const auto counters = job_->TakeProgress()) SendProgress(*counters);
      break;
    }
    case download::WM_DNLD_FINISHED:
      // The last counters reach the page before the finish.
      if (job_) {
        if (const auto counters = job_->TakeProgress()) SendProgress(*counters);
      }
      SendOther(bridge::MakeFinishNotification(2));
      End(true);
      break;
    case download::WM_DNLD_FAILED:
      SendOther(
          bridge::MakeFailedNotification(static_cast<download::FailureReason>(wParam), static_cast<long>(lParam)));
      End(false);
      break;
    default: break;
  }
  return 0;
}

bool BenchWindow::WaitForEnd() {
  std::unique_lock lock(mutex_);
  ended_.wait(lock, [this] { return over_; });
  return figures_.finished;
}

void BenchWindow::SendToPage(const nlohmann::json& notification) {
  // What the main window hands to the browser: the compact text, widened.
  const std::string text = platform::WidenThreadAcp(bridge::SerializeNotification(notification));
  figures_.notificationBytes += text.size();
}

void BenchWindow::SendProgress(const download::ProgressCounters& counters) {
  SendToPage(bridge::MakeProgressNotification(counters.now, counters.total));
  ++figures_.progressNotifications;
  figures_.lastProgress = counters;
}

void BenchWindow::SendOther(const nlohmann::json& notification) {
  SendToPage(notification);
  ++figures_.otherNotifications;
}

void BenchWindow::End(bool finished) {
  figures_.endTime = std::chrono::steady_clock::now();
  std::lock_guard lock(mutex_);
  figures_.finished = finished;
  figures_.failed = !finished;
  over_ = true;
  ended_.notify_all();
}

}  // namespace tarnel::bench
