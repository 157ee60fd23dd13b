#pragma once
// Which failures of an attempt are worth another try, and how long to wait
// before it. Pure functions; safe on any thread.
#include <chrono>
#include <optional>

#include "download/failure_reason.h"

namespace tarnel::download {

// How one attempt ended, as the job saw it.
struct AttemptResult {
  int curlCode = 0;     // CURLcode of the transfer
  long httpStatus = 0;  // the final answer's status, 0 when none arrived
  bool writeFailed = false;
  bool diskFull = false;  // a write failed for lack of space
  bool cancelled = false;
  bool notAFile = false;  // an answer that carries no file content (a 204, an unfollowed 3xx...)
  bool insecure = false;  // a redirect to an address the transport rules refuse
};

struct RetryDecision {
  bool retry = false;
  FailureReason reason = FailureReason::kNetwork;  // when not retried
};

// Transient: connection refused or reset, DNS failure, connect or low-speed
// timeout, a body that ended early or failed to arrive, HTTP 408, 429, 500,
// 502, 503, 504. Everything else ends the job at once; an answer that is
// not a file is an HTTP failure whatever its status.
RetryDecision ClassifyAttempt(const AttemptResult& result);

inline constexpr int kMaxRetries = 5;
inline constexpr std::chrono::seconds kMaxRetryAfter{60};

// The wait before retry number `retry` (1 for the first): 1, 2, 4, 8, 16 s,
// scaled by 1 + 0.2 * jitter, jitter in [-1, 1]. A server's Retry-After of at
// most 60 s is used instead, unscaled.
std::chrono::milliseconds RetryDelay(int retry, double jitter,
                                     std::optional<std::chrono::seconds> retryAfter = std::nullopt);

}  // namespace tarnel::download
