// tarnel_shutdown_soak: starts the real tarnel window and closes it, many
// times over, under a virtual X server with a slow download and event reports
// in flight at each close. Counts crashes, sanitizer reports in tarnel's
// output and processes still there 2 s after the close, and prints the exit
// times. A benchmark-style program with printed figures, not a test.
//
//   tarnel_shutdown_soak --tarnel BUILD/src/app/tarnel [--rounds 200] [--port N]
//                        [--rate 1M] [--evidence /tmp/soak-evidence] [--label NAME]
//
// The port is the one of the tarnel build's TARNEL_API_BASE (its default is
// this build's); the stand-in service runs in-process there, and Xvfb and the
// service stay up across rounds. The output of every bad round is kept in
// the evidence folder.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "e2e_support.h"
#include "shutdown_soak_procs.h"
#include "shutdown_soak_round.h"
#include "shutdown_soak_summary.h"
#include "standin_service.h"
#include "support/temp_dir.h"

#ifndef TARNEL_SOAK_DEFAULT_PORT
#define TARNEL_SOAK_DEFAULT_PORT 0
#endif

namespace {

using namespace tarnel;

// Ctrl+C or SIGTERM ends the run after the round under way; the figures of
// the rounds done are still printed.
volatile std::sig_atomic_t stopRequested = 0;
void RequestStop(int) { stopRequested = 1; }

struct Options {
  std::filesystem::path tarnel;
  int rounds = 200;
  int port = TARNEL_SOAK_DEFAULT_PORT;
  std::uint64_t rate = 1 << 20;
  std::filesystem::path evidence = "/tmp/soak-evidence";
  std::string label = "soak";
  int startTimeoutS = 60;
};

std::uint64_t ParseSize(const std::string& text) {
  std::size_t used = 0;
  std::uint64_t value = std::stoull(text, &used);
  const std::string unit = text.substr(used);
  if (unit == "K")
    value <<= 10;
  else if (unit == "M")
    value <<= 20;
  else if (unit == "G")
    value <<= 30;
  else if (!unit.empty())
    throw std::invalid_argument("bad size: " + text);
  return value;
}

Options ParseOptions(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string name = argv[i];
    if (i + 1 >= argc) throw std::invalid_argument("missing value after " + name);
    const std::string value = argv[++i];
    if (name == "--tarnel")
      o.tarnel = value;
    else if (name == "--rounds")
      o.rounds = std::stoi(value);
    else if (name == "--port")
      o.port = std::stoi(value);
    else if (name == "--rate")
      o.rate = ParseSize(value);
    else if (name == "--evidence")
      o.evidence = value;
    else if (name == "--label")
      o.label = value;
    else if (name == "--start-timeout")
      o.startTimeoutS = std::stoi(value);
    else
      throw std::invalid_argument("unknown option " + name);
  }
  if (o.tarnel.empty()) throw std::invalid_argument("--tarnel PATH is needed");
  if (o.port <= 0) throw std::invalid_argument("--port N (the tarnel build's API port) is needed");
  if (o.rounds <= 0) throw std::invalid_argument("--rounds must be positive");
  return o;
}

// One package whose page is this service's reference page in #trace mode
// (it reports every download notification as an event) and whose installer is
// the demo installer at 4 GiB, paced so that no round sees it finish.
std::unique_ptr<standin::StandinService> StartService(const Options& o, const test::TempDir& folder) {
  const std::string page = "http://127.0.0.1:" + std::to_string(o.port) + "/pages/1/index.html#trace";
  const nlohmann::json package{{"id", 1}, {"name", "Tarnel soak"}, {"page", page}};
  const nlohmann::json catalog{{"packages", nlohmann::json::array({package})}};
  test::WriteFile(folder.file("catalog.json"), catalog.dump());
  standin::ServiceOptions options;
  options.port = o.port;
  options.catalog_file = folder.file("catalog.json");
  options.demo_size = std::uint64_t{4} << 30;
  options.rate = o.rate;
  auto service = std::make_unique<standin::StandinService>(options);
  service->Start();
  return service;
}

void PrintRound(int index, const soak::RoundResult& r) {
  std::printf("round %d: ", index);
  if (r.endedEarly)
    std::printf("ended before the close, ");
  else if (r.exited && !r.signaled)
    std::printf("exit %d after %.0f ms, ", r.exitStatus, r.exitMs);
  else if (r.exited)
    std::printf("signal %d after %.0f ms, ", r.exitStatus, r.exitMs);
  else
    std::printf("killed after %.0f ms, ", r.exitMs);
  std::printf("start %.0f ms, %d reports after the close, %d helpers", r.startMs, r.reportsAfterClose,
              r.helpersAtClose);
  if (r.helpersLeft > 0) std::printf(", %d left", r.helpersLeft);
  if (r.sanitizerLines > 0) std::printf(", %d sanitizer lines", r.sanitizerLines);
  if (!r.note.empty()) std::printf(", %s", r.note.c_str());
  if (!r.evidence.empty()) std::printf(" [%s]", r.evidence.c_str());
  std::printf("\n");
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  try {
    options = ParseOptions(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarnel_shutdown_soak: %s\n", error.what());
    return 2;
  }
  if (!std::filesystem::is_regular_file(options.tarnel)) {
    std::fprintf(stderr, "tarnel_shutdown_soak: no executable at %s\n", options.tarnel.string().c_str());
    return 2;
  }
  soak::BecomeSubreaper();
  try {
    std::filesystem::create_directories(options.evidence);
    // The X server's own messages are kept with the evidence.
    e2e::VirtualDisplay display((options.evidence / (options.label + "-xvfb.log")).string());
    test::TempDir folder;
    const auto service = StartService(options, folder);
    const char* asan = std::getenv("ASAN_OPTIONS");
    std::printf("tarnel: %s\ndisplay %s, service %s, installer paced at %llu bytes/s, %d rounds, ASAN_OPTIONS=%s\n",
                options.tarnel.string().c_str(), display.name().c_str(), service->BaseUrl().c_str(),
                static_cast<unsigned long long>(options.rate), options.rounds, asan ? asan : "(unset)");
    std::fflush(stdout);

    soak::SoakSetup setup;
    setup.tarnel = options.tarnel;
    setup.display = display.name();
    setup.service = service.get();
    setup.evidenceDir = options.evidence;
    setup.label = options.label;
    setup.startTimeout = std::chrono::seconds(options.startTimeoutS);
    std::mt19937 random(20261210);
    std::vector<soak::RoundResult> rounds;
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    for (int i = 1; i <= options.rounds && !stopRequested; ++i) {
      rounds.push_back(soak::RunRound(setup, i, random));
      PrintRound(i, rounds.back());
    }
    const auto figures = soak::Summarise(rounds);
    std::printf("\n== shutdown soak: %s ==\n", options.tarnel.string().c_str());
    if (stopRequested) std::printf("stopped after %zu of %d rounds\n", rounds.size(), options.rounds);
    soak::PrintFigures(stdout, figures, static_cast<int>(setup.exitLimit.count()));
    return soak::AllClean(figures) ? 0 : 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarnel_shutdown_soak: %s\n", error.what());
    return 2;
  }
}
