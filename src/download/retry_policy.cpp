#include "download/retry_policy.h"

#include <curl/curl.h>

#include <algorithm>
#include <cmath>

namespace tarnel::download {

RetryDecision ClassifyAttempt(const AttemptResult& result) {
  if (result.cancelled) return {false, FailureReason::kCancelled};
  if (result.insecure) return {false, FailureReason::kInsecure};
  if (result.diskFull) return {false, FailureReason::kDiskFull};
  if (result.writeFailed) return {false, FailureReason::kFile};
  if (result.notAFile && result.httpStatus < 400) return {false, FailureReason::kHttp};
  if (result.httpStatus >= 400) {
    switch (result.httpStatus) {
      case 408:
      case 429:
      case 500:
      case 502:
      case 503:
      case 504: return {true, FailureReason::kHttp};
      default: return {false, FailureReason::kHttp};
    }
  }
  switch (static_cast<CURLcode>(result.curlCode)) {
    case CURLE_OK:
      // Ended without error but not as a file: nothing more will come of a retry.
      return {false, FailureReason::kNetwork};
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_PARTIAL_FILE:
    case CURLE_RECV_ERROR:
    case CURLE_SEND_ERROR:
    case CURLE_GOT_NOTHING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_SSL_CONNECT_ERROR: return {true, FailureReason::kNetwork};
    default:
      // TLS verification, refused protocols and redirects, malformed URLs...
      return {false, FailureReason::kNetwork};
  }
}

std::chrono::milliseconds RetryDelay(int retry, double jitter, std::optional<std::chrono::seconds> retryAfter) {
  if (retryAfter && *retryAfter >= std::chrono::seconds(0) && *retryAfter <= kMaxRetryAfter) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(*retryAfter);
  }
  const int exponent = std::clamp(retry, 1, 31) - 1;
  const double base = 1000.0 * std::ldexp(1.0, std::min(exponent, 20));
  const double scaled = base * (1.0 + 0.2 * std::clamp(jitter, -1.0, 1.0));
  return std::chrono::milliseconds(static_cast<long long>(std::llround(scaled)));
}

}  // namespace tarnel::download
