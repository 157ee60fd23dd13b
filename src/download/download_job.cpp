#include "download/download_job.h"

#include <curl/curl.h>

#include <algorithm>
#include <random>

#include "download/download_messages.h"
#include "download/file_name.h"
#include "download/hashing_writer.h"
#include "download/transfer_attempt.h"

namespace tarnel::download {
namespace {

// Other part names tried when "<target>.part" is taken by a file not ours.
constexpr int kPartNameTries = 100;
// Names tried for a silent download whose name is taken: "name (1).ext"...
constexpr int kNumberedNames = 1000;

double DefaultJitter() {
  static thread_local std::mt19937 generator{std::random_device{}()};
  return std::uniform_real_distribution<double>(-1.0, 1.0)(generator);
}

std::string PartPathCandidate(const std::string& target, int n) {
  return n == 0 ? target + ".part" : target + "." + std::to_string(n) + ".part";
}

// Opens the part file: the kept one when it is still ours, else a new one.
FileError OpenPart(const JobRequest& request, PartFile& file, std::string& partPath) {
  if (request.resume && request.resume->url == request.url && request.resume->target == request.path) {
    const KeptPart& kept = *request.resume;
    if (PartFile::Reopen(kept.partPath, kept.identity, file) == FileError::kNone && file.Size() == kept.identity.size) {
      partPath = kept.partPath;
      return FileError::kNone;
    }
    file.Close();
    // Not what we left: nothing of it is used, and it is left alone.
  }
  for (int n = 0; n < kPartNameTries; ++n) {
    const std::string candidate = PartPathCandidate(request.path, n);
    const FileError error = PartFile::CreateNew(candidate, file);
    if (error == FileError::kExists) continue;
    if (error == FileError::kNone) partPath = candidate;
    return error;
  }
  return FileError::kOther;
}

}  // namespace

DownloadJob::DownloadJob(JobRequest request, JobHooks hooks)
    : request_(std::move(request)), hooks_(std::move(hooks)), progress_(std::make_shared<ProgressMailbox>()) {
  thread_ = std::thread([this] { Run(); });
}

DownloadJob::~DownloadJob() {
  Cancel();
  if (thread_.joinable()) thread_.join();
  // A kept part nobody took goes with the job.
  if (kept_) RemoveIfSame(kept_->partPath, kept_->identity);
}

void DownloadJob::Cancel() {
  std::lock_guard lock(mutex_);
  cancelled_.store(true);
  if (void* multi = multi_.load()) curl_multi_wakeup(static_cast<CURLM*>(multi));
  wake_.notify_all();
}

JobOutcome DownloadJob::Outcome() const {
  std::lock_guard lock(mutex_);
  return outcome_;
}

std::optional<KeptPart> DownloadJob::TakeKeptPart() {
  std::lock_guard lock(mutex_);
  std::optional<KeptPart> kept = std::move(kept_);
  kept_.reset();
  return kept;
}

void DownloadJob::Post(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) {
  if (request_.window) request_.window->PostMessage(message, wParam, lParam);
}

bool DownloadJob::WaitBeforeRetry(std::chrono::milliseconds delay) {
  if (Cancelled()) return false;
  state_.store(JobState::kWaiting);
  if (hooks_.wait) {
    hooks_.wait(delay);
  } else {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, delay, [this] { return cancelled_.load(); });
  }
  state_.store(JobState::kRunning);
  return !Cancelled();
}

void DownloadJob::Finish(JobOutcome outcome) {
  {
    std::lock_guard lock(mutex_);
    outcome_ = outcome;
  }
  state_.store(outcome.state);
  if (outcome.state == JobState::kFinished) {
    Post(WM_DNLD_FINISHED);
  } else {
    Post(WM_DNLD_FAILED, static_cast<platform::WPARAM>(outcome.reason),
         outcome.reason == FailureReason::kHttp ? outcome.httpStatus : 0);
  }
}

void DownloadJob::Run() {
  JobOutcome outcome;
  auto fail = [&](FailureReason reason, long status = 0) {
    outcome.state = JobState::kFailed;
    outcome.reason = reason;
    outcome.httpStatus = status;
    Finish(outcome);
  };

  if (!IsUsableFilePath(request_.path)) return fail(FailureReason::kFile);
  PartFile file;
  std::string partPath;
  if (const FileError error = OpenPart(request_, file, partPath); error != FileError::kNone) {
    return fail(error == FileError::kDiskFull ? FailureReason::kDiskFull : FailureReason::kFile);
  }
  Validators validators = request_.resume && file.Size() > 0 ? request_.resume->validators : Validators{};
  HashingWriter writer(file);

  // Whatever way the job ends from here, the part file goes unless it is kept.
  auto discard = [&] {
    if (const auto identity = file.Identity()) {
      file.Close();
      RemoveIfSame(partPath, *identity);
    }
  };

  AttemptInput input;
  input.url = request_.url;
  input.partPath = partPath;
  input.limits = &request_.limits;
  input.hashWanted = request_.expectedSha256.has_value();
  input.plainHttpAllowed = request_.expectedSha256.has_value();
  AttemptHooks hooks;
  hooks.cancelled = [this] { return Cancelled(); };
  hooks.registerMulti = [this](void* multi) {
    std::lock_guard lock(mutex_);
    multi_.store(multi);
    // A cancel that came before the handle existed still ends this attempt.
    if (multi != nullptr && cancelled_.load()) curl_multi_wakeup(static_cast<CURLM*>(multi));
  };
  // The page's figure never goes back: after an answer that starts the file
  // over, it holds until the new bytes pass it.
  std::uint64_t shown = 0;
  hooks.progress = [this, &shown](std::uint64_t written, std::uint64_t total) {
    if (total == 0) return;
    shown = std::min(std::max(shown, written), total);
    const std::uint64_t now = shown;
    if (progress_->Update(now, static_cast<std::int64_t>(total))) {
      Post(WM_DL_PROGRESS, static_cast<platform::WPARAM>(now), static_cast<platform::LPARAM>(total));
    }
  };

  std::uint64_t furthest = writer.Size();
  int retries = 0;
  bool discardedOnce = false;
  std::optional<Sha256Digest> reprDigest;
  AttemptOutput last;
  while (true) {
    ++outcome.attempts;
    if (request_.proxy) input.proxy = request_.proxy(request_.url);
    input.validators = validators;
    last = RunAttempt(input, writer, hooks);
    // A whole-file answer speaks for the file from now on, digest included.
    if (last.wholeFileAnswer) {
      validators = last.validators;
      reprDigest = last.reprDigest;
    } else if (last.reprDigest) {
      reprDigest = last.reprDigest;
    }
    if (last.complete) break;
    if (Cancelled()) last.result.cancelled = true;

    if (last.discardPart && !last.result.cancelled) {
      // The part does not fit what the server has now: once more from zero.
      if (const FileError error = writer.Truncate(); error != FileError::kNone) {
        discard();
        return fail(error == FileError::kDiskFull ? FailureReason::kDiskFull : FailureReason::kFile);
      }
      validators = {};
      reprDigest.reset();
      if (!discardedOnce) {
        discardedOnce = true;
        continue;
      }
      discard();
      return fail(FailureReason::kHttp, last.result.httpStatus);
    }

    const RetryDecision decision = ClassifyAttempt(last.result);
    // An attempt that got further than any before earns a fresh count.
    if (writer.Size() > furthest) {
      furthest = writer.Size();
      retries = 0;
    }
    if (!decision.retry || ++retries > request_.limits.maxRetries) {
      // After a network or server failure the part stays for a later "dnld" to resume.
      const bool keep = (decision.reason == FailureReason::kNetwork || decision.reason == FailureReason::kHttp) &&
                        validators.Any() && writer.Size() > 0 && writer.Flush() == FileError::kNone &&
                        file.Sync() == FileError::kNone;
      const std::optional<FileIdentity> identity = keep ? file.Identity() : std::nullopt;
      if (identity) {
        std::lock_guard lock(mutex_);
        kept_ = KeptPart{request_.url, request_.path, partPath, *identity, validators};
      } else {
        discard();
      }
      return fail(decision.reason, last.result.httpStatus);
    }
    const double jitter = hooks_.jitter ? hooks_.jitter() : DefaultJitter();
    if (!WaitBeforeRetry(RetryDelay(retries, jitter, last.retryAfter))) {
      discard();
      return fail(FailureReason::kCancelled);
    }
  }

  // The file is complete: it gets its name only when it is also on disk and
  // right. The sync comes first so that the hashing thread finishes its last
  // blocks while the disk catches up.
  file.RecordOrigin(request_.url);
  FileError synced = writer.Flush();
  if (synced == FileError::kNone) synced = file.Sync();
  if (synced != FileError::kNone) {
    discard();
    return fail(synced == FileError::kDiskFull ? FailureReason::kDiskFull : FailureReason::kFile);
  }
  const std::optional<Sha256Digest> digest = writer.Digest();
  if ((request_.expectedSha256 && digest != request_.expectedSha256) || (reprDigest && digest != reprDigest)) {
    discard();
    return fail(FailureReason::kChecksum);
  }
  const std::optional<FileIdentity> identity = file.Identity();
  file.Close();
  for (int n = 0; n < kNumberedNames; ++n) {
    const std::string target = request_.replaceExisting ? request_.path : NumberedPath(request_.path, n);
    const FileError error = CommitPart(partPath, target, request_.replaceExisting);
    if (error == FileError::kExists && !request_.replaceExisting) continue;
    if (error != FileError::kNone) break;
    outcome.state = JobState::kFinished;
    outcome.finalPath = target;
    if (identity) outcome.finalIdentity = *identity;
    return Finish(outcome);
  }
  if (identity) RemoveIfSame(partPath, *identity);
  fail(FailureReason::kFile);
}

}  // namespace tarnel::download
