#pragma once
// Resident memory figures of this process, from /proc/self.
#include <cstdint>
#include <optional>

namespace tarnel::bench {

// VmHWM: the peak resident set size, in KiB.
std::optional<std::uint64_t> ReadPeakResidentKiB();

// Sets the peak back to the current resident size (writes "5" to
// /proc/self/clear_refs), so that the next reading shows the peak of what
// runs after this call. False when the kernel does not allow it.
bool ResetPeakResident();

}  // namespace tarnel::bench
