#pragma once
// Summary figures of a set of measured delays.
#include <cstddef>
#include <vector>

namespace tarnel::bench {

struct DelaySummary {
  std::size_t count = 0;
  double largestMs = 0;
  double p99Ms = 0;  // nearest rank: 99 % of the delays are at most this
};

DelaySummary SummarizeDelays(std::vector<double> delaysMs);

}  // namespace tarnel::bench
