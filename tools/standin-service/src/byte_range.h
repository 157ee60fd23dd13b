#pragma once
// Decides how to answer a Range request for a file of known size. httplib
// parses the header into (first, last) pairs with -1 for an absent number but
// does not check them against the content length; this does.
#include <cstdint>
#include <vector>

#include <sys/types.h>

namespace tarnel::standin {

struct RangeAnswer {
  enum class Kind {
    kWhole,          // 200 with the whole file (no range, or one we ignore)
    kPartial,        // 206 with bytes first..last, both inclusive
    kUnsatisfiable,  // 416 with "Content-Range: bytes */size"
  };
  Kind kind = Kind::kWhole;
  std::uint64_t first = 0;
  std::uint64_t last = 0;
};

// `ranges` as httplib's Request::ranges. Several ranges are answered with the
// whole file, which a server may always do; a malformed pair likewise. A last
// position beyond the end is cut to the end, a suffix longer than the file
// means the whole file as one range.
RangeAnswer ResolveRange(const std::vector<std::pair<ssize_t, ssize_t>>& ranges, std::uint64_t size);

}  // namespace tarnel::standin
