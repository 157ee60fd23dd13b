#include "process_memory.h"

#include <fstream>
#include <string>

namespace tarnel::bench {

std::optional<std::uint64_t> ReadPeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) != 0) continue;
    try {
      return std::stoull(line.substr(6));  // "VmHWM:    12345 kB"
    } catch (const std::exception&) {
      return std::nullopt;
    }
  }
  return std::nullopt;
}

bool ResetPeakResident() {
  std::ofstream refs("/proc/self/clear_refs");
  if (!refs) return false;
  refs << "5";
  refs.flush();
  return static_cast<bool>(refs);
}

}  // namespace tarnel::bench
