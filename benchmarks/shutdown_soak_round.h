#pragma once
// One round of the shutdown soak: the real tarnel started in a fresh folder,
// its reference page loaded, a slow download started from the page (whose
// #trace mode reports an event for every notification, so reports are going
// out all the time), then the page's close button clicked while the transfer
// runs, and the time until the process has ended.
#include <chrono>
#include <filesystem>
#include <random>
#include <string>

namespace tarnel::standin {
class StandinService;
}

namespace tarnel::soak {

struct SoakSetup {
  std::filesystem::path tarnel;  // the executable under test
  std::string display;           // the virtual X server's ":N"
  standin::StandinService* service = nullptr;
  int downloaderId = 1;
  std::filesystem::path evidenceDir;  // where a bad round's output is kept
  std::string label;                  // prefix of the evidence files
  std::chrono::milliseconds startTimeout{60000};
  std::chrono::milliseconds exitLimit{2000};  // a process still there after this is counted
};

struct RoundResult {
  bool setupFailed = false;  // no window, no page or no download before the close
  bool exited = false;       // tarnel ended (by itself or after the close)
  bool endedEarly = false;   // ...before the close was clicked
  bool signaled = false;
  int exitStatus = 0;         // exit code, or the signal number when signaled
  bool crashed = false;       // signaled, or a status other than 0 after the close
  double exitMs = 0;          // close click to the end of the process
  bool slowExit = false;      // tarnel still there at exitLimit after the click
  int helpersAtClose = 0;     // its helper processes (WebKit's) when the close was clicked
  int helpersLeft = 0;        // of those, still there at exitLimit
  int sanitizerLines = 0;     // sanitizer report lines in its output
  int reportsAfterClose = 0;  // event reports the service got after the click
  double startMs = 0;         // start to page loaded
  double roundMs = 0;
  std::string note;      // what went wrong, for the round's line
  std::string evidence;  // the kept output, when the round was bad
};

RoundResult RunRound(const SoakSetup& setup, int index, std::mt19937& random);

// Lines of `output` that a sanitizer writes when it reports something.
int CountSanitizerLines(const std::string& output);

}  // namespace tarnel::soak
