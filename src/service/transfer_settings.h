#pragma once
// Bounds and trust settings shared by the calls to the download service.
#include <string>

namespace tarnel::service {

struct TransferSettings {
  // PEM file of certificate authorities to trust instead of the system's
  // store. Empty in production, where libcurl's own defaults verify the
  // server; tests hand the CA of their loopback HTTPS server here.
  std::string caFile;
  // Longest wait for the connection (including the TLS handshake).
  long connectTimeoutMs = 10000;
  // Longest time for the whole transfer, connection included.
  long totalTimeoutMs = 30000;
};

}  // namespace tarnel::service
