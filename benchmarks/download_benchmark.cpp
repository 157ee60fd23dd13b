// tarnel_download_benchmark: the download job against the curl command line.
//
// Serves a generated file on 127.0.0.1, downloads it alternately with the
// real download job (worker thread, progress mailbox, window handle on a
// stand-in main loop, a page posting every 10 ms) and with `curl -s -o`,
// checks both files, and prints throughput, progress notifications, page
// message delays and peak memory, each with its goal.
//
//   tarnel_download_benchmark [--size BYTES] [--dir DIR] [--rounds N]
//
// BYTES may end in K, M or G (KiB, MiB, GiB). Exit status 0 unless a
// download failed or a file came out wrong; a missed goal is only reported.
#include <curl/curl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "curl_cli.h"
#include "delay_stats.h"
#include "file_check.h"
#include "job_run.h"
#include "pattern_server.h"

namespace fs = std::filesystem;
using namespace tarnel::bench;

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kDefaultSize = std::uint64_t{1} << 30;
constexpr std::uint64_t kSmallSize = 64 * kMiB;
constexpr double kGoalRatio = 0.95;
constexpr double kGoalPageDelayMs = 50.0;
// How much more the large run's peak may grow than the small run's before
// memory counts as growing with the file size.
constexpr double kGoalMemorySlackMiB = 8.0;

struct Options {
  std::uint64_t size = kDefaultSize;
  std::string dir;  // empty: a fresh temporary folder, removed at the end
  int rounds = 2;
};

std::optional<std::uint64_t> ParseSize(const std::string& text) {
  std::size_t used = 0;
  std::uint64_t value = 0;
  try {
    value = std::stoull(text, &used);
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const std::string suffix = text.substr(used);
  if (suffix.empty()) return value;
  if (suffix == "K" || suffix == "k") return value << 10;
  if (suffix == "M" || suffix == "m") return value << 20;
  if (suffix == "G" || suffix == "g") return value << 30;
  return std::nullopt;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--size" && hasValue) {
      const auto size = ParseSize(argv[++i]);
      if (!size || *size == 0) return std::nullopt;
      options.size = *size;
    } else if (arg == "--dir" && hasValue) {
      options.dir = argv[++i];
    } else if (arg == "--rounds" && hasValue) {
      options.rounds = std::atoi(argv[++i]);
      if (options.rounds < 1) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  return options;
}

double MiB(std::uint64_t bytes) { return static_cast<double>(bytes) / static_cast<double>(kMiB); }
double Rate(std::uint64_t bytes, double seconds) { return seconds > 0 ? MiB(bytes) / seconds : 0; }

// Peak growth of one job run in MiB; nothing when /proc could not be read.
std::optional<double> PeakGrowthMiB(const JobRun& run) {
  if (!run.peakBeforeKiB || !run.peakAfterKiB) return std::nullopt;
  return (static_cast<double>(*run.peakAfterKiB) - static_cast<double>(*run.peakBeforeKiB)) / 1024.0;
}

std::string KiBText(const std::optional<std::uint64_t>& kib) {
  if (!kib) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(*kib) / 1024.0);
  return text;
}

std::string GrowthText(const std::optional<double>& mib) {
  if (!mib) return "n/a";
  char text[32];
  std::snprintf(text, sizeof text, "%+.1f MiB", *mib);
  return text;
}

void PrintJobLine(const char* label, std::uint64_t size, const JobRun& run) {
  const DelaySummary delays = SummarizeDelays(run.window.pageDelaysMs);
  const double rate = run.seconds > 0 ? static_cast<double>(run.window.progressNotifications) / run.seconds : 0;
  std::printf("%-8s job   %8.1f MiB in %7.3f s = %7.1f MiB/s | progress notifications %llu (%.1f/s)"
              " | page delay largest %.2f ms, p99 %.2f ms (%zu)\n",
              label, MiB(size), run.seconds, Rate(size, run.seconds),
              static_cast<unsigned long long>(run.window.progressNotifications), rate, delays.largestMs,
              delays.p99Ms, delays.count);
  std::printf("%-8s       VmHWM before %s, after %s: peak growth %s | longest queue %zu task(s)\n", "",
              KiBText(run.peakBeforeKiB).c_str(), KiBText(run.peakAfterKiB).c_str(),
              GrowthText(PeakGrowthMiB(run)).c_str(), run.peakQueueLength);
  if (run.window.lastProgress.now != size || run.window.lastProgress.total != static_cast<std::int64_t>(size)) {
    std::printf("%-8s       note: last progress %llu of %lld, not the whole file\n", "",
                static_cast<unsigned long long>(run.window.lastProgress.now),
                static_cast<long long>(run.window.lastProgress.total));
  }
}

void PrintCurlLine(const char* label, std::uint64_t size, const CurlCliRun& run) {
  std::printf("%-8s curl  %8.1f MiB in %7.3f s = %7.1f MiB/s\n", label, MiB(size), run.seconds,
              Rate(size, run.seconds));
}

// Checks a downloaded file, prints the verdict and removes the file.
bool CheckAndRemove(const std::string& path, std::uint64_t size) {
  const FileCheck check = CheckPatternFile(path, size);
  std::error_code ignored;
  fs::remove(path, ignored);
  if (!check.ok) std::printf("         FILE WRONG: %s\n", check.problem.c_str());
  return check.ok;
}

const char* Verdict(bool pass) { return pass ? "PASS" : "FAIL"; }

// Best-of figures of the large runs, their goals, and the memory comparison.
void PrintSummary(const Options& options, std::uint64_t smallSize, const JobRun& small,
                  const std::vector<JobRun>& jobs, const std::vector<CurlCliRun>& curls) {
  const std::uint64_t size = options.size;
  const auto bestJob = std::min_element(jobs.begin(), jobs.end(),
                                        [](const JobRun& a, const JobRun& b) { return a.seconds < b.seconds; });
  const auto bestCurl = std::min_element(
      curls.begin(), curls.end(), [](const CurlCliRun& a, const CurlCliRun& b) { return a.seconds < b.seconds; });
  const double ratio = bestJob->seconds > 0 ? bestCurl->seconds / bestJob->seconds : 0;
  std::vector<double> allDelays;
  std::optional<double> largeGrowth;
  for (const JobRun& job : jobs) {
    allDelays.insert(allDelays.end(), job.window.pageDelaysMs.begin(), job.window.pageDelaysMs.end());
    if (const auto growth = PeakGrowthMiB(job)) largeGrowth = std::max(largeGrowth.value_or(*growth), *growth);
  }
  const DelaySummary delays = SummarizeDelays(allDelays);
  const std::optional<double> smallGrowth = PeakGrowthMiB(small);
  const std::uint64_t notes = bestJob->window.progressNotifications;

  std::printf("\nSummary (best of %d rounds, %.1f MiB each)\n", options.rounds, MiB(size));
  std::printf("  download job          %7.3f s  %7.1f MiB/s\n", bestJob->seconds, Rate(size, bestJob->seconds));
  std::printf("  curl command line     %7.3f s  %7.1f MiB/s\n", bestCurl->seconds, Rate(size, bestCurl->seconds));
  std::printf("  ratio job / curl      %7.3f  (throughput of the job over that of curl)\n", ratio);
  std::printf("  progress notifications built and serialised in the best job run: %llu, %.1f per second\n",
              static_cast<unsigned long long>(notes), static_cast<double>(notes) / bestJob->seconds);
  std::printf("  page message delay, posting to handling, all %.1f MiB job runs (%zu messages):"
              " largest %.2f ms, p99 %.2f ms\n",
              MiB(size), delays.count, delays.largestMs, delays.p99Ms);
  std::printf("  peak memory (VmHWM%s) growth during a job run:\n",
              small.peakReset ? ", reset to the current resident size before each run" : ", never reset");
  std::printf("    %8.1f MiB run: %s\n", MiB(smallSize), GrowthText(smallGrowth).c_str());
  std::printf("    %8.1f MiB run: %s (the largest of %d runs)\n", MiB(size), GrowthText(largeGrowth).c_str(),
              options.rounds);

  const bool memoryPass = smallGrowth && largeGrowth && *largeGrowth - *smallGrowth <= kGoalMemorySlackMiB;
  std::printf("\n");
  std::printf("goal: ratio >= %.2f                %s  (%.3f)\n", kGoalRatio, Verdict(ratio >= kGoalRatio), ratio);
  std::printf("goal: page messages within %.0f ms  %s  (largest %.2f ms)\n", kGoalPageDelayMs,
              Verdict(delays.count > 0 && delays.largestMs <= kGoalPageDelayMs), delays.largestMs);
  std::printf("goal: memory independent of size  %s  (peak growth of the %.1f MiB run minus that of the"
              " %.1f MiB run: %+.1f MiB, at most +%.0f MiB allowed)\n",
              Verdict(memoryPass), MiB(size), MiB(smallSize), largeGrowth.value_or(0) - smallGrowth.value_or(0),
              kGoalMemorySlackMiB);
}

// The small run, then the rounds of job and curl; 0 when every download
// succeeded and every file came out right.
int RunBenchmark(const Options& options, const fs::path& dir, bool ownDir) {
  const std::uint64_t size = options.size;
  const std::uint64_t smallSize = size > kSmallSize ? kSmallSize : std::max<std::uint64_t>(size / 16, 1);
  PatternServer server;
  if (!server.IsRunning()) {
    std::fprintf(stderr, "cannot start the loopback server\n");
    return 1;
  }
  std::printf("Tarnel download benchmark\n");
  std::printf("  file size   %llu bytes (%.1f MiB), served by 127.0.0.1:%d from a 1 MiB pattern block\n",
              static_cast<unsigned long long>(size), MiB(size), server.Port());
  std::printf("  folder      %s%s\n", dir.c_str(), ownDir ? " (temporary, removed at the end)" : "");
  std::printf("  job         download::DownloadWorker, progress mailbox, window handle on a stand-in main loop;\n"
              "              a page message posted every 10 ms meanwhile\n");
  std::printf("  reference   curl -s -o FILE URL, the command-line tool as its own process\n");
  std::printf("  libcurl     %s (the job's)\n\n", curl_version_info(CURLVERSION_NOW)->version);
  std::fflush(stdout);

  // The small run first: its peak growth is the yardstick for the large runs.
  const std::string smallPath = (dir / "job-small.bin").string();
  const JobRun small = RunDownloadJob(server.UrlFor(smallSize), smallPath);
  PrintJobLine("small", smallSize, small);
  if (!small.finished) std::printf("         THE JOB FAILED\n");
  bool allOk = small.finished && CheckAndRemove(smallPath, smallSize);
  std::fflush(stdout);

  std::vector<JobRun> jobs;
  std::vector<CurlCliRun> curls;
  for (int round = 1; round <= options.rounds && allOk; ++round) {
    const std::string label = "round " + std::to_string(round);
    const std::string jobPath = (dir / ("job-" + std::to_string(round) + ".bin")).string();
    const std::string curlPath = (dir / ("curl-" + std::to_string(round) + ".bin")).string();
    jobs.push_back(RunDownloadJob(server.UrlFor(size), jobPath));
    PrintJobLine(label.c_str(), size, jobs.back());
    std::fflush(stdout);
    curls.push_back(RunCurlCli(server.UrlFor(size), curlPath));
    PrintCurlLine(label.c_str(), size, curls.back());
    if (!jobs.back().finished) std::printf("         THE JOB FAILED\n");
    if (!curls.back().ok) std::printf("         CURL FAILED: %s\n", curls.back().problem.c_str());
    const bool jobFile = jobs.back().finished && CheckAndRemove(jobPath, size);
    const bool curlFile = curls.back().ok && CheckAndRemove(curlPath, size);
    if (jobFile && curlFile) {
      std::printf("         both files: %llu bytes, every block as served\n", static_cast<unsigned long long>(size));
    }
    allOk = jobFile && curlFile;
    std::fflush(stdout);
  }
  if (!allOk) {
    std::printf("\nA download failed or a file came out wrong: no summary.\n");
    return 1;
  }
  PrintSummary(options, smallSize, small, jobs, curls);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: %s [--size BYTES[K|M|G]] [--dir DIR] [--rounds N]\n", argv[0]);
    return 2;
  }
  std::error_code error;
  fs::path dir = options->dir;
  const bool ownDir = dir.empty();
  if (ownDir) {
    std::string pattern = (fs::temp_directory_path() / "tarnel-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
      std::perror("mkdtemp");
      return 1;
    }
    dir = pattern;
  } else if (fs::create_directories(dir, error); error) {
    std::fprintf(stderr, "cannot create %s: %s\n", dir.c_str(), error.message().c_str());
    return 1;
  }

  curl_global_init(CURL_GLOBAL_ALL);
  const int status = RunBenchmark(*options, dir, ownDir);
  curl_global_cleanup();
  if (ownDir) fs::remove_all(dir, error);
  return status;
}
