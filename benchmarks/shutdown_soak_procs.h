#pragma once
// The processes a tarnel run leaves behind, watched from outside: tarnel
// itself through a pidfd (its exit is seen at once, without reaping it), and
// the helpers WebKit starts for it, which this process adopts as a child
// subreaper once tarnel is gone.
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

namespace tarnel::soak {

// Makes this process the one that orphaned descendants are handed to, so the
// helpers of an ended tarnel can still be followed and reaped.
void BecomeSubreaper();

// Waits until the process has ended (not reaped) or the timeout passed; true
// when it ended. Polls /proc when no pidfd can be had.
bool WaitUntilEnded(pid_t pid, std::chrono::milliseconds timeout);

// A process and its start time, which tells it from a later one with the
// same id.
struct ProcessId {
  pid_t pid = 0;
  unsigned long long startTime = 0;
  std::string name;
};

// Every live descendant of `root` (not `root` itself).
std::vector<ProcessId> Descendants(pid_t root);

// Those of `processes` still alive; adopted ones that have ended are reaped.
std::vector<ProcessId> StillAlive(const std::vector<ProcessId>& processes);

// Ends the processes that are still alive (SIGKILL) and reaps adopted ones.
void KillAll(const std::vector<ProcessId>& processes);

}  // namespace tarnel::soak
