#include "shutdown_soak_summary.h"

#include <algorithm>

namespace tarnel::soak {

namespace {

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 == 1 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

}  // namespace

SoakFigures Summarise(const std::vector<RoundResult>& rounds) {
  SoakFigures f;
  std::vector<double> exits, starts, durations;
  for (const auto& r : rounds) {
    ++f.runs;
    f.crashes += r.crashed ? 1 : 0;
    f.sanitizerRounds += r.sanitizerLines > 0 ? 1 : 0;
    f.sanitizerLines += r.sanitizerLines;
    f.notGone += (r.slowExit || r.helpersLeft > 0) ? 1 : 0;
    f.tarnelNotGone += r.slowExit ? 1 : 0;
    f.helpersNotGone += r.helpersLeft > 0 ? 1 : 0;
    f.setupFailures += r.setupFailed ? 1 : 0;
    f.endedEarly += r.endedEarly ? 1 : 0;
    f.withReportsAfterClose += r.reportsAfterClose > 0 ? 1 : 0;
    // Only closed rounds have an exit time; a killed one counts as its wait.
    if (!r.endedEarly && r.exitMs > 0) {
      exits.push_back(r.exitMs);
      f.slowestExitMs = std::max(f.slowestExitMs, r.exitMs);
    }
    starts.push_back(r.startMs);
    durations.push_back(r.roundMs);
  }
  f.exits = static_cast<int>(exits.size());
  f.medianExitMs = Median(exits);
  f.medianStartMs = Median(starts);
  f.medianRoundMs = Median(durations);
  return f;
}

void PrintFigures(std::FILE* out, const SoakFigures& f, int exitLimitMs) {
  std::fprintf(out, "runs: %d\n", f.runs);
  std::fprintf(out, "crashes: %d\n", f.crashes);
  std::fprintf(out, "sanitizer reports: %d (rounds), %d (lines)\n", f.sanitizerRounds, f.sanitizerLines);
  std::fprintf(out, "slowest exit: %.0f ms\n", f.slowestExitMs);
  std::fprintf(out, "median exit: %.0f ms (over %d closes)\n", f.medianExitMs, f.exits);
  std::fprintf(out, "not gone within %d ms: %d (tarnel %d, its helper processes %d)\n", exitLimitMs, f.notGone,
               f.tarnelNotGone, f.helpersNotGone);
  std::fprintf(out, "rounds not set up (no page or no download before the close): %d\n", f.setupFailures);
  std::fprintf(out, "ended before the close (failed starts, crashes included above): %d\n", f.endedEarly);
  std::fprintf(out, "rounds with event reports arriving after the close click: %d of %d\n", f.withReportsAfterClose,
               f.runs);
  std::fprintf(out, "median start to page loaded: %.0f ms, median round: %.0f ms\n", f.medianStartMs, f.medianRoundMs);
}

bool AllClean(const SoakFigures& f) {
  return f.crashes == 0 && f.sanitizerRounds == 0 && f.notGone == 0 && f.setupFailures == 0 && f.endedEarly == 0;
}

}  // namespace tarnel::soak
