#pragma once
// Bounds of the download transfer. A real run keeps the defaults; tests
// shorten them.
#include <string>
#include <vector>

namespace tarnel::download {

struct TransferLimits {
  long connectTimeoutSeconds = 30;  // no connection within this: the attempt failed
  long lowSpeedLimit = 1;           // bytes a second ...
  long lowSpeedTimeSeconds = 60;    // ... below which for this long: the attempt failed
  long maxRedirects = 10;
  int maxRetries = 5;                // attempts after the first one that made no progress
  std::string caFile;                // empty: libcurl's default certificates
  std::vector<std::string> resolve;  // libcurl's "host:port:address" overrides, for tests
};

}  // namespace tarnel::download
