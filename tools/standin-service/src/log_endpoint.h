#pragma once
// POST /downloader.php/index/log: records one reported event per multipart
// form. Runs on the server's worker threads.
#include <string>

namespace httplib {
struct Request;
struct Response;
class ContentReader;
}  // namespace httplib

namespace tarnel::standin {

class EventLog;

class LogEndpoint {
 public:
  explicit LogEndpoint(EventLog& log);

  // A well-formed multipart/form-data body with at least one part: the event
  // is recorded and answered {"code":200}. Any other body: {"code":400}
  // (HTTP 400), nothing recorded.
  void HandlePost(const httplib::Request& request, httplib::Response& response,
                  const httplib::ContentReader& reader) const;
  // Any other method on the log address: {"code":400} (HTTP 400).
  void HandleOtherMethod(const httplib::Request& request, httplib::Response& response) const;

  // Current time as "2024-05-01T12:34:56.789Z".
  static std::string UtcNow();

 private:
  EventLog& log_;
};

}  // namespace tarnel::standin
