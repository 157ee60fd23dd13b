#include "log_endpoint.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "event_log.h"
#include "http_helpers.h"
#include "log_form.h"

namespace tarnel::standin {

LogEndpoint::LogEndpoint(EventLog& log) : log_(log) {}

void LogEndpoint::HandlePost(const httplib::Request& request, httplib::Response& response,
                             const httplib::ContentReader& reader) const {
  if (!request.is_multipart_form_data()) {
    // Read the body anyway, so the connection stays usable for the next request.
    reader([](const char*, std::size_t) { return true; });
    SetJsonAnswer(response, 400, {{"code", 400}});
    return;
  }
  LogForm form;
  const bool complete =
      reader([&form](const httplib::MultipartFormData& part) { return form.BeginPart(part.name); },
             [&form](const char* data, std::size_t length) { return form.AppendValue(data, length); });
  if (!complete || form.parts().empty()) {
    SetJsonAnswer(response, 400, {{"code", 400}});
    return;
  }
  log_.Record(form.ToRecord(UtcNow()));
  SetJsonAnswer(response, 200, {{"code", 200}});
}

void LogEndpoint::HandleOtherMethod(const httplib::Request&, httplib::Response& response) const {
  SetJsonAnswer(response, 400, {{"code", 400}});
}

std::string LogEndpoint::UtcNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char result[48];
  std::snprintf(result, sizeof result, "%.*s.%03dZ", static_cast<int>(length), text, static_cast<int>(millis));
  return result;
}

}  // namespace tarnel::standin
