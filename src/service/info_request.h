#pragma once
// The service info request: one blocking GET of the info address whose body
// is collected into memory. Runs on the calling thread (the main thread at
// startup); libcurl must have been initialised globally by the process.
#include <curl/curl.h>

#include <cstddef>
#include <optional>
#include <string>

#include "service/transfer_settings.h"

namespace tarnel::service {

// Collects an answer body up to `limit` bytes. Once the body would grow past
// the limit, `overflow` is set and the transfer is stopped, so an oversized
// answer is never applied.
struct AnswerBuffer {
  std::string text;
  std::size_t limit = std::size_t{1} << 20;
  bool overflow = false;
};

// libcurl write callback (CURLOPT_WRITEFUNCTION form); `target` is an
// AnswerBuffer. Appends size * count bytes and returns that number, or returns
// 0 to stop the transfer when the answer would pass the buffer's limit.
std::size_t WriteToStringCallback(char* data, std::size_t size, std::size_t count, void* target);

// GETs `url` and returns the answer body when the transfer succeeded, whatever
// the HTTP status. Redirects are not followed. Returns nothing when the
// transfer fails, times out (per `settings`) or the answer passes 1 MiB.
std::optional<std::string> FetchInfo(const std::string& url, const TransferSettings& settings = {});

// Sets the proxy that `settings` names for `url` on a transfer.
void ApplyProxy(CURL* curl, const std::string& url, const TransferSettings& settings);

}  // namespace tarnel::service
