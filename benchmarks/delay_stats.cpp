#include "delay_stats.h"

#include <algorithm>
#include <cmath>

namespace tarnel::bench {

DelaySummary SummarizeDelays(std::vector<double> delaysMs) {
  DelaySummary summary;
  summary.count = delaysMs.size();
  if (delaysMs.empty()) return summary;
  std::sort(delaysMs.begin(), delaysMs.end());
  summary.largestMs = delaysMs.back();
  const auto rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(delaysMs.size())));
  summary.p99Ms = delaysMs[std::max<std::size_t>(rank, 1) - 1];
  return summary;
}

}  // namespace tarnel::bench
