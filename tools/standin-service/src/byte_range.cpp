#include "byte_range.h"

#include <algorithm>

namespace tarnel::standin {

RangeAnswer ResolveRange(const std::vector<std::pair<ssize_t, ssize_t>>& ranges, std::uint64_t size) {
  RangeAnswer answer;
  if (ranges.size() != 1) {
    return answer;
  }
  const auto [first, last] = ranges.front();
  if (first < -1 || last < -1 || (first == -1 && last == -1) || (first >= 0 && last >= 0 && first > last)) {
    return answer;  // not a range we understand: ignore the header
  }
  if (first == -1) {
    // Suffix range: the last `last` bytes.
    const auto length = static_cast<std::uint64_t>(last);
    if (length == 0 || size == 0) {
      answer.kind = RangeAnswer::Kind::kUnsatisfiable;
      return answer;
    }
    answer.kind = RangeAnswer::Kind::kPartial;
    answer.first = size - std::min(length, size);
    answer.last = size - 1;
    return answer;
  }
  if (static_cast<std::uint64_t>(first) >= size) {
    answer.kind = RangeAnswer::Kind::kUnsatisfiable;
    return answer;
  }
  answer.kind = RangeAnswer::Kind::kPartial;
  answer.first = static_cast<std::uint64_t>(first);
  answer.last = last == -1 ? size - 1 : std::min(static_cast<std::uint64_t>(last), size - 1);
  return answer;
}

}  // namespace tarnel::standin
