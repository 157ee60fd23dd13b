#pragma once
// The figures of a soak run, from its rounds.
#include <cstdio>
#include <vector>

#include "shutdown_soak_round.h"

namespace tarnel::soak {

struct SoakFigures {
  int runs = 0;
  int crashes = 0;          // rounds whose tarnel ended by a signal, or with a status other than 0 after the close
  int sanitizerRounds = 0;  // rounds with a sanitizer report in tarnel's output
  int sanitizerLines = 0;
  int notGone = 0;  // rounds with tarnel or a helper still there at the limit
  int tarnelNotGone = 0;
  int helpersNotGone = 0;
  int setupFailures = 0;
  int endedEarly = 0;
  int withReportsAfterClose = 0;  // rounds where reports still reached the service after the click
  int exits = 0;                  // rounds whose exit time was measured
  double slowestExitMs = 0;
  double medianExitMs = 0;
  double medianStartMs = 0;
  double medianRoundMs = 0;
};

SoakFigures Summarise(const std::vector<RoundResult>& rounds);

// The figures as lines of text; zero of each bad kind is the goal.
void PrintFigures(std::FILE* out, const SoakFigures& figures, int exitLimitMs);

// True when every bad count is zero.
bool AllClean(const SoakFigures& figures);

}  // namespace tarnel::soak
