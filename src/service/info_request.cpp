#include "service/info_request.h"

#include <curl/curl.h>

#include "service/curl_handles.h"

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
  CurlEasy curl(curl_easy_init());
  if (!curl) return std::nullopt;
  AnswerBuffer answer;
  curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, WriteToStringCallback);
  curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &answer);
  // Bounds: the window stays off screen until this returns.
  curl_easy_setopt(curl.get(), CURLOPT_CONNECTTIMEOUT_MS, settings.connectTimeoutMs);
  curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, settings.totalTimeoutMs);
  curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
  if (!settings.caFile.empty()) curl_easy_setopt(curl.get(), CURLOPT_CAINFO, settings.caFile.c_str());
  ApplyProxy(curl.get(), url, settings);
  if (curl_easy_perform(curl.get()) != CURLE_OK || answer.overflow) return std::nullopt;
  return std::move(answer.text);
}

void ApplyProxy(CURL* curl, const std::string& url, const TransferSettings& settings) {
  if (!settings.proxy) return;
  if (const std::optional<std::string> proxy = settings.proxy(url))
    curl_easy_setopt(curl, CURLOPT_PROXY, proxy->c_str());
}

}  // namespace tarnel::service
