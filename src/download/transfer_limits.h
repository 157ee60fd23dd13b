#pragma once
// Bounds of the download transfer. A real run keeps the defaults; tests
// shorten them.
#include <string>

namespace tarnel::download {

struct TransferLimits {
  long connectTimeoutSeconds = 30;  // no connection within this: failure
  long lowSpeedLimit = 1;           // bytes a second ...
  long lowSpeedTimeSeconds = 60;    // ... below which for this long: failure
  long maxRedirects = 10;
  std::string caFile;               // empty: libcurl's default certificates
};

}  // namespace tarnel::download
