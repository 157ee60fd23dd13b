#include "service/event_report.h"

#include <curl/curl.h>

#include "service/curl_handles.h"
#include "service/info_request.h"

namespace tarnel::service {

namespace {

// Swallows the log endpoint's answer; libcurl would write it to standard
// output otherwise.
std::size_t DiscardAnswer(char*, std::size_t size, std::size_t count, void*) { return size * count; }

// Transfer-info callback: a non-zero result aborts the transfer.
int AbortWhenCancelled(void* cancel, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* flag = static_cast<const std::atomic<bool>*>(cancel);
  return flag != nullptr && flag->load() ? 1 : 0;
}

void AddPart(curl_mime* form, const char* name, const std::string& value) {
  curl_mimepart* part = curl_mime_addpart(form);
  curl_mime_name(part, name);
  // Zero-terminated: an event code is cut at its first NUL byte.
  curl_mime_data(part, value.c_str(), CURL_ZERO_TERMINATED);
}

// Runs the transfer like curl_easy_perform, but wakes at least every 50 ms to
// look at the cancel flag: while it waits for an answer libcurl calls the
// transfer-info callback only about once a second, which would hold up the
// sender's shutdown that long.
void Perform(CURL* curl, const std::atomic<bool>* cancel) {
  CurlMulti multi(curl_multi_init());
  if (!multi) {
    curl_easy_perform(curl);
    return;
  }
  CurlMultiAttachment attachment(multi.get(), curl);
  int running = 1;
  while (running > 0 && !(cancel != nullptr && cancel->load())) {
    if (curl_multi_perform(multi.get(), &running) != CURLM_OK) break;
    if (running > 0) curl_multi_poll(multi.get(), nullptr, 0, 50, nullptr);
  }
}

}  // namespace

void SendEventReport(const std::string& logUrl, const EventReport& report, const TransferSettings& settings,
                     const std::atomic<bool>* cancel) {
  CurlEasy handle(curl_easy_init());
  if (!handle) return;  // the event is dropped
  CURL* curl = handle.get();

  curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, "POST");
  curl_easy_setopt(curl, CURLOPT_URL, logUrl.c_str());
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_DEFAULT_PROTOCOL, "https");
  // Reports go to web addresses only, and not round the houses.
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));

  CurlMime form(curl_mime_init(curl));
  AddPart(form.get(), "downloader_id", std::to_string(report.downloaderId));
  AddPart(form.get(), "event", report.event);
  AddPart(form.get(), "uuid", report.uuid);
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, form.get());

  // libcurl turns a followed 301/302/303 into a bodiless request unless told
  // to keep the form; the report must reach the final endpoint whole.
  curl_easy_setopt(curl, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardAnswer);
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, settings.connectTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, settings.totalTimeoutMs);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  if (!settings.caFile.empty()) curl_easy_setopt(curl, CURLOPT_CAINFO, settings.caFile.c_str());
  ApplyProxy(curl, logUrl, settings);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, AbortWhenCancelled);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, const_cast<std::atomic<bool>*>(cancel));
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);

  Perform(curl, cancel);  // fire and forget: the result is not examined
  // The form goes before the handle that it was made for.
  form.reset();
}

}  // namespace tarnel::service
