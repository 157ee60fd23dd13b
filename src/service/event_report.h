#pragma once
// One event report to the service's log endpoint: a multipart form POST with
// the parts "downloader_id", "event" and "uuid", in that order. The answer is
// discarded and failures are dropped. Blocks the calling thread until the
// transfer ends; libcurl must have been initialised globally by the process.
#include <atomic>
#include <string>

#include "service/transfer_settings.h"

namespace tarnel::service {

struct EventReport {
  unsigned downloaderId = 0;
  // Event code; sent up to its first NUL byte.
  std::string event;
  // Client identifier of the installation.
  std::string uuid;
};

// Sends `report` to `logUrl`, following redirects. When `cancel` is given and
// becomes true (from any thread), the transfer is aborted at libcurl's next
// progress call.
void SendEventReport(const std::string& logUrl, const EventReport& report, const TransferSettings& settings = {},
                     const std::atomic<bool>* cancel = nullptr);

}  // namespace tarnel::service
