#pragma once
// The benchmark's window procedure: it handles the download job's messages
// as the main window does (the newest counters from the progress mailbox,
// each notification built and serialised as for the page) and measures how
// long the page ticker's messages waited in the queue.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include <nlohmann/json.hpp>

#include "download/download_job.h"
#include "platform/messages.h"

namespace tarnel::bench {

// The page ticker's message; wParam is its posting time (PageTicker::TickTime).
inline constexpr std::uint32_t kPageTickMessage = platform::WM_USER + 0x100;

struct WindowFigures {
  std::uint64_t progressNotifications = 0;
  std::uint64_t otherNotifications = 0;  // start, finish, failure
  std::uint64_t notificationBytes = 0;   // serialised text handed on
  download::ProgressCounters lastProgress;
  std::vector<double> pageDelaysMs;
  std::chrono::steady_clock::time_point endTime;  // finish or failure handled
  bool finished = false;
  bool failed = false;
};

class BenchWindow {
 public:
  BenchWindow();

  // Loop thread, or before the job starts: the job whose counters and outcome
  // the window reads.
  void Attach(download::DownloadJob* job) { job_ = job; }

  // Loop thread: the window procedure.
  platform::LRESULT Procedure(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam);

  // Any thread but the loop's: blocks until the job's finish or failure has
  // been handled; true for a finish.
  bool WaitForEnd();

  // Read once the loop has stopped.
  const WindowFigures& Figures() const { return figures_; }

 private:
  void SendToPage(const nlohmann::json& notification);
  void SendProgress(const download::ProgressCounters& counters);
  void SendOther(const nlohmann::json& notification);
  void End(bool finished);

  download::DownloadJob* job_ = nullptr;
  WindowFigures figures_;
  std::mutex mutex_;
  std::condition_variable ended_;
  bool over_ = false;
};

}  // namespace tarnel::bench
