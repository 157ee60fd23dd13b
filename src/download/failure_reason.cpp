#include "download/failure_reason.h"

namespace tarnel::download {

std::string_view ReasonText(FailureReason reason) {
  switch (reason) {
    case FailureReason::kNetwork: return "network";
    case FailureReason::kHttp: return "http";
    case FailureReason::kDiskFull: return "disk_full";
    case FailureReason::kFile: return "file";
    case FailureReason::kChecksum: return "checksum";
    case FailureReason::kCancelled: return "cancelled";
    case FailureReason::kInsecure: return "insecure";
  }
  return "network";
}

}  // namespace tarnel::download
