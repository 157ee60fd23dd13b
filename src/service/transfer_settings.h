#pragma once
// Bounds and trust settings shared by the calls to the download service.
#include <functional>
#include <optional>
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
  // libcurl's proxy for a URL (an empty text: direct); nothing, or no
  // function, leaves libcurl's own rules. Called on the transfer's thread.
  std::function<std::optional<std::string>(const std::string& url)> proxy;
};

}  // namespace tarnel::service
