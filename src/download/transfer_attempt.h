#pragma once
// One attempt of the download job: a single libcurl transfer into the part
// file, continuing after what the file already holds when the first answer
// gave a validator. Runs on the download worker.
//
// Every libcurl option of the download is set here, in one place. Redirects
// are followed here too, one hop at a time, so that each address is held to
// the transport rules before it is asked.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "download/hashing_writer.h"
#include "download/resume_rules.h"
#include "download/retry_policy.h"
#include "download/transfer_limits.h"

namespace tarnel::download {

struct AttemptInput {
  std::string url;
  std::string partPath;              // for the free space of its folder
  std::optional<std::string> proxy;  // libcurl's form; nothing: libcurl's own rules
  const TransferLimits* limits = nullptr;
  Validators validators;          // of the first answer; empty before it
  bool hashWanted = false;        // the page gave an expected SHA-256
  bool plainHttpAllowed = false;  // the SHA-256 protects the file whatever the path
};

struct AttemptOutput {
  AttemptResult result;
  bool complete = false;         // the whole file is in the part file
  bool discardPart = false;      // 416, or a range that does not fit: start from zero
  Validators validators;         // of this answer, when it carried the whole file
  bool wholeFileAnswer = false;  // this answer was a 200
  std::optional<Sha256Digest> reprDigest;
  std::optional<std::chrono::seconds> retryAfter;
};

// Called from inside the transfer; `register` hands the attempt's multi
// handle to the job (null when it goes), so Cancel() can wake it.
struct AttemptHooks {
  std::function<bool()> cancelled;
  std::function<void(void* multi)> registerMulti;
  // Whole-file counters: bytes in the file so far, bytes in all (0 unknown).
  std::function<void(std::uint64_t now, std::uint64_t total)> progress;
};

AttemptOutput RunAttempt(const AttemptInput& input, HashingWriter& writer, const AttemptHooks& hooks);

}  // namespace tarnel::download
