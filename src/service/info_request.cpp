#include "service/info_request.h"

#include <curl/curl.h>

namespace tarnel::service {

std::size_t WriteToStringCallback(char* data, std::size_t size, std::size_t count, void* target) {
  auto* buffer = static_cast<AnswerBuffer*>(target);
  const std::size_t bytes = size * count;
  if (buffer->overflow || bytes > buffer->limit - buffer->text.size()) {
    buffer->overflow = true;
    return 0;  // anything but `bytes` makes libcurl abort with CURLE_WRITE_ERROR
  }
  buffer->text.append(data, bytes);
  return bytes;
}

std::optional<std::string> FetchInfo(const std::string& url, const TransferSettings& settings) {
  std::optional<std::string> body;
  // The process keeps its own reference on the global state, so this pair
  // never tears libcurl down.
  curl_global_init(CURL_GLOBAL_ALL);
  if (CURL* curl = curl_easy_init()) {
    AnswerBuffer answer;
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, WriteToStringCallback);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &answer);
    // Bounds: the window stays off screen until this returns.
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, settings.connectTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, settings.totalTimeoutMs);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    if (!settings.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, settings.caFile.c_str());
    if (curl_easy_perform(curl) == CURLE_OK && !answer.overflow) body = std::move(answer.text);
    curl_easy_cleanup(curl);
  }
  curl_global_cleanup();
  return body;
}

}  // namespace tarnel::service
