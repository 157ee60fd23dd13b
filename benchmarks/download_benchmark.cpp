// tarnel_download_benchmark: the download job against the curl command line.
//
// Serves a generated file on 127.0.0.1 and, in each round, downloads it
// with the real download job (worker thread, progress mailbox, window handle
// on a stand-in main loop, a page posting every 10 ms), with `curl -s -o`,
// with the job checking the file's SHA-256, and with the job from a server
// that drops the connection every 128 MiB (the job resumes with Range and
// If-Range; its backoff waits are made instant). Checks every file and
// prints throughput, resume cost, progress notifications, page message
// delays and peak memory, each with its goal.
//
//   tarnel_download_benchmark [--size BYTES] [--dir DIR] [--rounds N] [--drop-every BYTES]
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
#include "pattern_digest.h"
#include "pattern_server.h"

namespace fs = std::filesystem;
using namespace tarnel::bench;

namespace {

constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
constexpr std::uint64_t kDefaultSize = std::uint64_t{1} << 30;
constexpr std::uint64_t kSmallSize = 64 * kMiB;
constexpr std::uint64_t kDefaultDropEvery = 128 * kMiB;
// Throughput of the job over that of curl: plain, and checking the SHA-256.
constexpr double kGoalRatio = 1.0;
constexpr double kGoalRatioSha256 = 0.9;
// Bytes the dropping server sent in all over the file's size: a resume
// fetches only what is missing.
constexpr double kGoalSentOverSize = 1.01;
constexpr double kGoalPageDelayMs = 50.0;
// How much more the large run's peak may grow than the small run's before
// memory counts as growing with the file size.
constexpr double kGoalMemorySlackMiB = 8.0;

struct Options {
  std::uint64_t size = kDefaultSize;
  std::string dir;  // empty: a fresh temporary folder, removed at the end
  int rounds = 2;
  std::uint64_t dropEvery = kDefaultDropEvery;
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
    } else if (arg == "--drop-every" && hasValue) {
      const auto every = ParseSize(argv[++i]);
      if (!every || *every == 0) return std::nullopt;
      options.dropEvery = *every;
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

void PrintJobLine(const char* label, const char* kind, std::uint64_t size, const JobRun& run) {
  const DelaySummary delays = SummarizeDelays(run.window.pageDelaysMs);
  const double rate = run.seconds > 0 ? static_cast<double>(run.window.progressNotifications) / run.seconds : 0;
  std::printf(
      "%-8s %-8s %8.1f MiB in %7.3f s = %7.1f MiB/s | progress notifications %llu (%.1f/s)"
      " | page delay largest %.2f ms, p99 %.2f ms (%zu)\n",
      label, kind, MiB(size), run.seconds, Rate(size, run.seconds),
      static_cast<unsigned long long>(run.window.progressNotifications), rate, delays.largestMs, delays.p99Ms,
      delays.count);
  std::printf("%-8s          VmHWM before %s, after %s: peak growth %s | longest queue %zu task(s)\n", "",
              KiBText(run.peakBeforeKiB).c_str(), KiBText(run.peakAfterKiB).c_str(),
              GrowthText(PeakGrowthMiB(run)).c_str(), run.peakQueueLength);
  if (run.window.lastProgress.now != size || run.window.lastProgress.total != static_cast<std::int64_t>(size)) {
    std::printf("%-8s          note: last progress %llu of %lld, not the whole file\n", "",
                static_cast<unsigned long long>(run.window.lastProgress.now),
                static_cast<long long>(run.window.lastProgress.total));
  }
}

void PrintCurlLine(const char* label, std::uint64_t size, const CurlCliRun& run) {
  std::printf("%-8s curl     %8.1f MiB in %7.3f s = %7.1f MiB/s | then fsync of its file %.3f s\n", label, MiB(size),
              run.seconds, Rate(size, run.seconds), run.syncSeconds);
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

// A run from the dropping server, with what the server saw during it.
struct DropRun {
  JobRun job;
  ServerCounters server;
};

template <typename Run>
const Run& Fastest(const std::vector<Run>& runs) {
  return *std::min_element(runs.begin(), runs.end(), [](const Run& a, const Run& b) { return a.seconds < b.seconds; });
}

double SentOverSize(const ServerCounters& counters, std::uint64_t size) {
  return static_cast<double>(counters.bodyBytes) / static_cast<double>(size);
}

// Best-of figures of the large runs, their goals, and the memory comparison.
void PrintSummary(const Options& options, std::uint64_t smallSize, const JobRun& small, const std::vector<JobRun>& jobs,
                  const std::vector<CurlCliRun>& curls, const std::vector<JobRun>& shaJobs,
                  const std::vector<DropRun>& drops) {
  const std::uint64_t size = options.size;
  const JobRun& bestJob = Fastest(jobs);
  const JobRun& bestSha = Fastest(shaJobs);
  const CurlCliRun& bestCurl = Fastest(curls);
  std::vector<JobRun> dropJobs;
  for (const DropRun& drop : drops) dropJobs.push_back(drop.job);
  const JobRun& bestDrop = Fastest(dropJobs);
  double bestCurlSynced = 0;
  for (const CurlCliRun& curl : curls) {
    const double synced = curl.seconds + std::max(curl.syncSeconds, 0.0);
    if (bestCurlSynced == 0 || synced < bestCurlSynced) bestCurlSynced = synced;
  }
  const double ratio = bestJob.seconds > 0 ? bestCurl.seconds / bestJob.seconds : 0;
  const double ratioSha = bestSha.seconds > 0 ? bestCurl.seconds / bestSha.seconds : 0;
  // The resume figures are the worst of the rounds: every run must waste nothing.
  double worstSent = 0;
  std::uint64_t fewestRequests = ~std::uint64_t{0};
  std::uint64_t mostRequests = 0;
  for (const DropRun& drop : drops) {
    worstSent = std::max(worstSent, SentOverSize(drop.server, size));
    fewestRequests = std::min(fewestRequests, drop.server.requests);
    mostRequests = std::max(mostRequests, drop.server.requests);
  }

  std::vector<double> allDelays;
  std::optional<double> largeGrowth;
  std::optional<double> shaGrowth;
  std::optional<double> dropGrowth;
  auto widen = [](std::optional<double>& largest, const JobRun& run) {
    if (const auto growth = PeakGrowthMiB(run)) largest = std::max(largest.value_or(*growth), *growth);
  };
  for (const JobRun& job : jobs) widen(largeGrowth, job);
  for (const JobRun& job : shaJobs) widen(shaGrowth, job);
  for (const JobRun& job : dropJobs) widen(dropGrowth, job);
  const std::vector<JobRun>* kinds[] = {&jobs, &shaJobs, &dropJobs};
  for (const std::vector<JobRun>* kind : kinds) {
    for (const JobRun& job : *kind) {
      allDelays.insert(allDelays.end(), job.window.pageDelaysMs.begin(), job.window.pageDelaysMs.end());
    }
  }
  const DelaySummary delays = SummarizeDelays(allDelays);
  const std::optional<double> smallGrowth = PeakGrowthMiB(small);
  const std::uint64_t notes = bestJob.window.progressNotifications;

  std::printf("\nSummary (best of %d rounds, %.1f MiB each)\n", options.rounds, MiB(size));
  std::printf("  download job                      %7.3f s  %7.1f MiB/s\n", bestJob.seconds,
              Rate(size, bestJob.seconds));
  std::printf("  download job, SHA-256 checked     %7.3f s  %7.1f MiB/s\n", bestSha.seconds,
              Rate(size, bestSha.seconds));
  std::printf("  curl command line                 %7.3f s  %7.1f MiB/s\n", bestCurl.seconds,
              Rate(size, bestCurl.seconds));
  std::printf(
      "  curl, then fsync of its file      %7.3f s  %7.1f MiB/s  (informative: the job syncs its file before"
      " naming it, curl does not)\n",
      bestCurlSynced, Rate(size, bestCurlSynced));
  std::printf("  ratio job / curl                  %7.3f  (throughput of the job over that of curl)\n", ratio);
  std::printf("  ratio job with SHA-256 / curl     %7.3f\n", ratioSha);
  std::printf("  ratio job / (curl + fsync)        %7.3f  (informative)\n",
              bestJob.seconds > 0 ? bestCurlSynced / bestJob.seconds : 0);
  std::printf("  dropped every %.1f MiB, resumed  %7.3f s  %7.1f MiB/s  (undisturbed: %.3f s; difference %+.3f s)\n",
              MiB(options.dropEvery), bestDrop.seconds, Rate(size, bestDrop.seconds), bestJob.seconds,
              bestDrop.seconds - bestJob.seconds);
  std::printf("    requests the server saw: %llu to %llu per run (the job counted %d attempts in its fastest run)\n",
              static_cast<unsigned long long>(fewestRequests), static_cast<unsigned long long>(mostRequests),
              bestDrop.attempts);
  std::printf("    body bytes sent in all / file size: %.4f (the largest of %d runs)\n", worstSent, options.rounds);
  std::printf("    backoff the job asked for and the benchmark skipped: %d wait(s), %.2f s in its fastest run\n",
              bestDrop.retryWaits, bestDrop.retryWaitSeconds);
  std::printf("  progress notifications built and serialised in the best job run: %llu, %.1f per second\n",
              static_cast<unsigned long long>(notes), static_cast<double>(notes) / bestJob.seconds);
  std::printf(
      "  page message delay, posting to handling, all %.1f MiB job runs (%zu messages):"
      " largest %.2f ms, p99 %.2f ms\n",
      MiB(size), delays.count, delays.largestMs, delays.p99Ms);
  std::printf("  peak memory (VmHWM%s) growth during a job run:\n",
              small.peakReset ? ", reset to the current resident size before each run" : ", never reset");
  std::printf("    %8.1f MiB run: %s\n", MiB(smallSize), GrowthText(smallGrowth).c_str());
  std::printf("    %8.1f MiB run: %s (the largest of %d runs)\n", MiB(size), GrowthText(largeGrowth).c_str(),
              options.rounds);
  std::printf("    %8.1f MiB run, SHA-256 checked: %s; dropped and resumed: %s (the largest of each)\n", MiB(size),
              GrowthText(shaGrowth).c_str(), GrowthText(dropGrowth).c_str());

  const bool memoryPass = smallGrowth && largeGrowth && *largeGrowth - *smallGrowth <= kGoalMemorySlackMiB;
  std::printf("\n");
  std::printf("goal: ratio >= %.2f                   %s  (%.3f)\n", kGoalRatio, Verdict(ratio >= kGoalRatio), ratio);
  std::printf("goal: ratio with SHA-256 >= %.2f      %s  (%.3f)\n", kGoalRatioSha256,
              Verdict(ratioSha >= kGoalRatioSha256), ratioSha);
  std::printf("goal: resumed, sent / size <= %.2f    %s  (%.4f)\n", kGoalSentOverSize,
              Verdict(worstSent <= kGoalSentOverSize), worstSent);
  std::printf("goal: page messages within %.0f ms      %s  (largest %.2f ms)\n", kGoalPageDelayMs,
              Verdict(delays.count > 0 && delays.largestMs <= kGoalPageDelayMs), delays.largestMs);
  std::printf(
      "goal: memory independent of size     %s  (peak growth of the %.1f MiB run minus that of the"
      " %.1f MiB run: %+.1f MiB, at most +%.0f MiB allowed)\n",
      Verdict(memoryPass), MiB(size), MiB(smallSize), largeGrowth.value_or(0) - smallGrowth.value_or(0),
      kGoalMemorySlackMiB);
}

// Runs the job once, prints its line, checks and removes its file.
bool JobRound(const char* label, const char* kind, const std::string& url, const std::string& path, std::uint64_t size,
              const std::optional<tarnel::download::Sha256Digest>& sha256, bool instantWaits,
              std::vector<JobRun>& runs) {
  runs.push_back(RunDownloadJob(url, path, sha256, instantWaits));
  PrintJobLine(label, kind, size, runs.back());
  if (!runs.back().finished) std::printf("         THE JOB FAILED\n");
  const bool ok = runs.back().finished && CheckAndRemove(path, size);
  std::fflush(stdout);
  return ok;
}

// The small run, then the rounds; 0 when every download succeeded and every
// file came out right.
int RunBenchmark(const Options& options, const fs::path& dir, bool ownDir) {
  const std::uint64_t size = options.size;
  const std::uint64_t smallSize = size > kSmallSize ? kSmallSize : std::max<std::uint64_t>(size / 16, 1);
  PatternServer server;
  if (!server.IsRunning()) {
    std::fprintf(stderr, "cannot start the loopback server\n");
    return 1;
  }
  const std::optional<tarnel::download::Sha256Digest> sha256 = PatternSha256(size);
  if (!sha256) {
    std::fprintf(stderr, "cannot compute the file's SHA-256\n");
    return 1;
  }
  std::printf("Tarnel download benchmark\n");
  std::printf(
      "  file size   %llu bytes (%.1f MiB), served by 127.0.0.1:%d from a 1 MiB pattern block,\n"
      "              with a strong ETag, Range and If-Range\n",
      static_cast<unsigned long long>(size), MiB(size), server.Port());
  std::printf("  SHA-256     %s (OpenSSL EVP over the pattern)\n", tarnel::download::Sha256Hex(*sha256).c_str());
  std::printf("  folder      %s%s\n", dir.c_str(), ownDir ? " (temporary, removed at the end)" : "");
  std::printf(
      "  job         download::DownloadJob, progress mailbox, window handle on a stand-in main loop;\n"
      "              a page message posted every 10 ms meanwhile\n");
  std::printf("  job+sha     the same, with the file's true SHA-256 as the expected one\n");
  std::printf(
      "  job drop    the same as job, from a server that closes every answer after %.1f MiB of body;\n"
      "              the job resumes with Range/If-Range. Its backoff waits (1 s +-20 %% after each\n"
      "              drop) return at once here, so the time is that of the transfers and resumes\n",
      MiB(options.dropEvery));
  std::printf("  reference   curl -s -o FILE URL, the command-line tool as its own process\n");
  std::printf("  libcurl     %s (the job's)\n\n", curl_version_info(CURLVERSION_NOW)->version);
  std::fflush(stdout);

  // The small run first: its peak growth is the yardstick for the large runs.
  std::vector<JobRun> smallRuns;
  bool allOk = JobRound("small", "job", server.UrlFor(smallSize), (dir / "job-small.bin").string(), smallSize,
                        std::nullopt, false, smallRuns);

  std::vector<JobRun> jobs;
  std::vector<JobRun> shaJobs;
  std::vector<JobRun> dropJobs;
  std::vector<DropRun> drops;
  std::vector<CurlCliRun> curls;
  for (int round = 1; round <= options.rounds && allOk; ++round) {
    const std::string label = "round " + std::to_string(round);
    const std::string n = std::to_string(round);
    allOk = JobRound(label.c_str(), "job", server.UrlFor(size), (dir / ("job-" + n + ".bin")).string(), size,
                     std::nullopt, false, jobs);

    const std::string curlPath = (dir / ("curl-" + n + ".bin")).string();
    curls.push_back(RunCurlCli(server.UrlFor(size), curlPath));
    PrintCurlLine(label.c_str(), size, curls.back());
    if (!curls.back().ok) std::printf("         CURL FAILED: %s\n", curls.back().problem.c_str());
    allOk = curls.back().ok && CheckAndRemove(curlPath, size) && allOk;
    std::fflush(stdout);

    allOk = JobRound(label.c_str(), "job+sha", server.UrlFor(size), (dir / ("job-sha-" + n + ".bin")).string(), size,
                     sha256, false, shaJobs) &&
            allOk;

    server.ResetCounters();
    allOk = JobRound(label.c_str(), "job drop", server.DroppingUrlFor(size, options.dropEvery),
                     (dir / ("job-drop-" + n + ".bin")).string(), size, std::nullopt, true, dropJobs) &&
            allOk;
    drops.push_back({dropJobs.back(), server.Counters()});
    const ServerCounters& seen = drops.back().server;
    std::printf(
        "%-8s          server: %llu requests (%llu answered 200, %llu 206), %llu body bytes = %.4f x the"
        " file | job attempts %d, backoff skipped %d x, %.2f s\n",
        "", static_cast<unsigned long long>(seen.requests), static_cast<unsigned long long>(seen.whole),
        static_cast<unsigned long long>(seen.ranged), static_cast<unsigned long long>(seen.bodyBytes),
        SentOverSize(seen, size), dropJobs.back().attempts, dropJobs.back().retryWaits,
        dropJobs.back().retryWaitSeconds);
    if (allOk)
      std::printf("         all four files: %llu bytes, every block as served\n",
                  static_cast<unsigned long long>(size));
    std::fflush(stdout);
  }
  if (!allOk) {
    std::printf("\nA download failed or a file came out wrong: no summary.\n");
    return 1;
  }
  PrintSummary(options, smallSize, smallRuns.front(), jobs, curls, shaJobs, drops);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::fprintf(stderr, "usage: %s [--size BYTES[K|M|G]] [--dir DIR] [--rounds N] [--drop-every BYTES[K|M|G]]\n",
                 argv[0]);
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
