#include "shutdown_soak_procs.h"

#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <thread>

namespace tarnel::soak {

namespace {

using Clock = std::chrono::steady_clock;

struct StatLine {
  char state = '?';
  pid_t parent = 0;
  unsigned long long startTime = 0;
  std::string name;
};

// /proc/<pid>/stat: "pid (name) state ppid ..." with the start time as the
// 22nd field; the name may hold spaces and parentheses, so it ends at the
// last ')'.
std::optional<StatLine> ReadStat(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  if (!std::getline(in, text)) return std::nullopt;
  const auto open = text.find('(');
  const auto close = text.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return std::nullopt;
  StatLine line;
  line.name = text.substr(open + 1, close - open - 1);
  std::istringstream rest(text.substr(close + 1));
  std::string field;
  rest >> line.state >> line.parent;
  // Fields 5 to 21, then the start time.
  for (int i = 5; i <= 21 && rest >> field; ++i) {
  }
  rest >> line.startTime;
  if (!rest) return std::nullopt;
  return line;
}

bool Alive(const ProcessId& process) {
  // An adopted helper that has ended is reaped here; one that is not our
  // child is left to its parent (ECHILD).
  int status = 0;
  waitpid(process.pid, &status, WNOHANG);
  const auto stat = ReadStat(process.pid);
  return stat && stat->startTime == process.startTime && stat->state != 'Z' && stat->state != 'X';
}

}  // namespace

void BecomeSubreaper() { prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0); }

bool WaitUntilEnded(pid_t pid, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  const int fd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (fd >= 0) {
    pollfd entry{fd, POLLIN, 0};
    int ready = 0;
    do {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      ready = poll(&entry, 1, static_cast<int>(std::max<long long>(left, 0)));
    } while (ready < 0 && Clock::now() < deadline);
    close(fd);
    return ready > 0;
  }
  for (;;) {
    const auto stat = ReadStat(pid);
    if (!stat || stat->state == 'Z' || stat->state == 'X') return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

std::vector<ProcessId> Descendants(pid_t root) {
  std::multimap<pid_t, ProcessId> byParent;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    const auto stat = ReadStat(pid);
    if (!stat || stat->state == 'Z') continue;
    byParent.emplace(stat->parent, ProcessId{pid, stat->startTime, stat->name});
  }
  std::vector<ProcessId> found;
  std::vector<pid_t> parents{root};
  while (!parents.empty()) {
    const pid_t parent = parents.back();
    parents.pop_back();
    const auto [first, last] = byParent.equal_range(parent);
    for (auto it = first; it != last; ++it) {
      found.push_back(it->second);
      parents.push_back(it->second.pid);
    }
  }
  return found;
}

std::vector<ProcessId> StillAlive(const std::vector<ProcessId>& processes) {
  std::vector<ProcessId> alive;
  for (const auto& process : processes) {
    if (Alive(process)) alive.push_back(process);
  }
  return alive;
}

void KillAll(const std::vector<ProcessId>& processes) {
  for (const auto& process : processes) {
    if (Alive(process)) kill(process.pid, SIGKILL);
  }
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (!StillAlive(processes).empty() && Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace tarnel::soak
