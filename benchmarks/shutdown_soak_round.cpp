#include "shutdown_soak_round.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "e2e_support.h"
#include "shutdown_soak_procs.h"
#include "standin_service.h"
#include "support/temp_dir.h"

namespace tarnel::soak {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// The reference page at 96 dpi: a 720 x 460 window, Download in the card,
// Close at the right end of the 40 px title bar.
constexpr int kPageWidth = 720;
constexpr int kDownloadX = 570, kDownloadY = 305;
constexpr int kCloseX = kPageWidth - 23, kCloseY = 20;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// The event codes the service has from this round's identifier.
std::vector<std::string> EventsOf(const standin::StandinService& service, const std::string& uuid) {
  std::vector<std::string> codes;
  for (const auto& record : service.RecordedEvents()) {
    if (record.value("uuid", nlohmann::json()) == uuid && record["event"].is_string()) {
      codes.push_back(record["event"].get<std::string>());
    }
  }
  return codes;
}

bool HasEvent(const std::vector<std::string>& codes, const std::string& prefix) {
  for (const auto& code : codes) {
    if (code.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

void Xdotool(const std::string& display, const std::vector<std::string>& args) {
  std::vector<std::string> argv{"xdotool"};
  argv.insert(argv.end(), args.begin(), args.end());
  e2e::Capture(argv, {{"DISPLAY", display}});
}

// Puts the pointer on a point of the window. It first goes beside it: a
// "mousemove --sync" to where the pointer already is waits for motion that
// never comes.
void PointAt(const std::string& display, const e2e::WindowInfo& w, int x, int y) {
  Xdotool(display, {"mousemove", std::to_string(w.x + x - 2), std::to_string(w.y + y), "mousemove", "--sync",
                    std::to_string(w.x + x), std::to_string(w.y + y)});
}

// 32 characters, like the identifier tarnel writes, unique to the round.
std::string RoundUuid(const std::string& label, int index) {
  char text[33];
  std::snprintf(text, sizeof text, "SOAK%-8.8s%020d", label.c_str(), index);
  std::string uuid(text);
  for (char& c : uuid) {
    if (c == ' ') c = '0';
  }
  return uuid;
}

// Every thread's stack of a process that does not end, when gdb is there.
std::string Backtraces(pid_t pid) {
  try {
    return e2e::Capture({"gdb", "-p", std::to_string(pid), "-batch", "-ex", "thread apply all bt"});
  } catch (const std::exception& error) {
    return std::string("no backtraces: ") + error.what() + "\n";
  }
}

std::string Describe(const RoundResult& r) {
  std::ostringstream text;
  text << "setup failed: " << r.setupFailed << "\nexited: " << r.exited << " (before the close: " << r.endedEarly
       << ")\n"
       << (r.signaled ? "signal: " : "exit status: ") << r.exitStatus << "\nclose click to exit: " << r.exitMs
       << " ms\nhelpers at the close: " << r.helpersAtClose << ", left after the limit: " << r.helpersLeft
       << "\nsanitizer lines: " << r.sanitizerLines << "\nreports after the close click: " << r.reportsAfterClose
       << "\nnote: " << r.note << "\n";
  return text.str();
}

}  // namespace

int CountSanitizerLines(const std::string& output) {
  int count = 0;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (line.find("ERROR: AddressSanitizer") != std::string::npos || line.find("LeakSanitizer") != std::string::npos ||
        line.find("runtime error:") != std::string::npos) {
      ++count;
    }
  }
  return count;
}

RoundResult RunRound(const SoakSetup& setup, int index, std::mt19937& random) {
  RoundResult result;
  const auto roundStart = Clock::now();
  test::TempDir dir;
  const std::string uuid = RoundUuid(setup.label, index);
  auto tarnel = e2e::StartTarnelFrom(setup.tarnel, dir.path(), setup.display, setup.downloaderId, uuid);
  const pid_t pid = tarnel->pid();
  const auto ended = [&] { return WaitUntilEnded(pid, 0ms); };
  std::string extra;

  // On screen at the page's size, and the page has reported itself loaded.
  std::optional<e2e::WindowInfo> window;
  e2e::WaitFor(
      [&] {
        if (ended()) return true;
        window = e2e::FindTarnelWindow(setup.display);
        return window && window->viewable && window->width == kPageWidth && window->x >= 0 && window->y >= 0 &&
               HasEvent(EventsOf(*setup.service, uuid), "page_loaded");
      },
      setup.startTimeout);
  result.startMs = MsSince(roundStart);
  const bool shown = !ended() && window && window->viewable && window->width == kPageWidth &&
                     HasEvent(EventsOf(*setup.service, uuid), "page_loaded");

  // Download, and bytes arriving: the page has reported progress above zero.
  bool downloading = false;
  if (shown) {
    PointAt(setup.display, *window, kDownloadX, kDownloadY);
    Xdotool(setup.display, {"click", "1"});
    downloading = e2e::WaitFor(
                      [&] {
                        if (ended()) return true;
                        for (const auto& code : EventsOf(*setup.service, uuid)) {
                          if (code.rfind("trace:dl_progress:", 0) == 0 && code.rfind("trace:dl_progress:0:", 0) != 0)
                            return true;
                        }
                        return false;
                      },
                      15s) &&
                  !ended() && fs::exists(dir.file("home/Downloads/tarnel-demo-setup.sh.part"));
  }
  if (!shown || !downloading) {
    result.setupFailed = true;
    result.note = !shown ? "the page never showed" : "the download never got going";
    try {
      e2e::Capture({"import", "-window", "root",
                    (setup.evidenceDir / (setup.label + "-round-" + std::to_string(index) + ".png")).string()},
                   {{"DISPLAY", setup.display}});
    } catch (const std::exception&) {
    }
  }

  if (ended()) {
    result.endedEarly = true;
  } else if (shown) {
    // Close at a different moment of the transfer and of the report traffic each time.
    std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 300)(random)));
    PointAt(setup.display, *window, kCloseX, kCloseY);
    const std::vector<ProcessId> helpers = Descendants(pid);
    result.helpersAtClose = static_cast<int>(helpers.size());
    const std::size_t reportsBefore = EventsOf(*setup.service, uuid).size();
    const auto closeAt = Clock::now();
    Xdotool(setup.display, {"click", "1"});

    if (!WaitUntilEnded(pid, setup.exitLimit)) {
      result.slowExit = true;
      if (!WaitUntilEnded(pid, 20s)) {
        result.note += (result.note.empty() ? "" : "; ") + std::string("still running 20 s after the close");
        extra += "--- backtraces ---\n" + Backtraces(pid);
      }
    }
    result.exitMs = MsSince(closeAt);
    // Its helpers: gone by the limit, or ended here after a while.
    while (!StillAlive(helpers).empty() && Clock::now() - closeAt < setup.exitLimit) {
      std::this_thread::sleep_for(5ms);
    }
    const auto left = StillAlive(helpers);
    result.helpersLeft = static_cast<int>(left.size());
    for (const auto& helper : left) extra += "helper left: " + std::to_string(helper.pid) + " " + helper.name + "\n";
    e2e::WaitFor([&] { return StillAlive(helpers).empty(); }, 10s);
    KillAll(helpers);
    std::this_thread::sleep_for(50ms);  // the last reports reach the record
    result.reportsAfterClose = static_cast<int>(EventsOf(*setup.service, uuid).size() - reportsBefore);
  }

  const std::optional<int> status = tarnel->WaitForExit(2s);  // killed by the destructor otherwise
  result.exited = status.has_value();
  if (status) {
    result.signaled = *status >= 128;
    result.exitStatus = result.signaled ? *status - 128 : *status;
    // A start that ends with a status of its own (no display, say) is a
    // failed start, counted apart; a signal is a crash at any time.
    result.crashed = result.signaled || (*status != 0 && !result.endedEarly);
  } else {
    result.note += (result.note.empty() ? "" : "; ") + std::string("killed");
  }
  tarnel.reset();

  const std::string output = test::ReadFile(dir.file("tarnel.log"));
  result.sanitizerLines = CountSanitizerLines(output);
  if (result.crashed || result.endedEarly || !result.exited || result.slowExit || result.helpersLeft > 0 ||
      result.sanitizerLines > 0 || result.setupFailed) {
    std::error_code error;
    fs::create_directories(setup.evidenceDir, error);
    const fs::path file = setup.evidenceDir / (setup.label + "-round-" + std::to_string(index) + ".log");
    std::ofstream out(file, std::ios::binary);
    out << "tarnel: " << setup.tarnel.string() << "\nround: " << index << "\nuuid: " << uuid << "\n"
        << Describe(result) << extra << "--- tarnel's output ---\n"
        << output;
    result.evidence = file.string();
  }
  result.roundMs = MsSince(roundStart);
  return result;
}

}  // namespace tarnel::soak
