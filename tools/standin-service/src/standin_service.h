#pragma once
// The stand-in download service: an HTTP server on its own thread that answers
// the info and log requests, serves the reference page and installer files.
// Start and Stop are called from one owning thread; requests are handled on
// httplib's worker threads.
#include <atomic>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "file_endpoint.h"
#include "service_options.h"

namespace httplib {
class Server;
}

namespace tarnel::standin {

class Catalog;
class EventLog;
class InfoEndpoint;
class LogEndpoint;
class PageEndpoint;
class RequestLog;
class InstallerStore;

// The service cannot start: bad catalogue, missing folder, unwritable log
// file, address in use. what() says which.
class StartError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class StandinService {
 public:
  explicit StandinService(ServiceOptions options);
  ~StandinService();  // stops the server
  StandinService(const StandinService&) = delete;
  StandinService& operator=(const StandinService&) = delete;

  // Loads the catalogue, binds and starts serving; returns the port listened
  // on. Throws StartError. Call once.
  int Start();
  // Stops accepting, ends running transfers and joins the server thread.
  // Safe to call more than once and without Start.
  void Stop();

  int port() const { return port_; }
  // "http://127.0.0.1:port" (the listening address).
  std::string BaseUrl() const { return base_url_; }
  // Requests to /files/ so far and the body bytes sent in answer to them.
  struct FileStats {
    std::uint64_t requests = 0;
    std::uint64_t body_bytes = 0;
  };
  FileStats FileTraffic() const;
  // The events recorded so far, oldest first (the newest 1000).
  std::vector<nlohmann::json> RecordedEvents() const;

 private:
  void LoadData();
  void Route();

  ServiceOptions options_;
  std::unique_ptr<Catalog> catalog_;
  std::unique_ptr<InstallerStore> store_;
  std::map<std::string, KnownDigest> digests_;  // of installers with "sha256": "auto", by file name
  std::unique_ptr<EventLog> log_;
  std::unique_ptr<RequestLog> requests_;  // only with options_.request_log
  std::unique_ptr<InfoEndpoint> info_;
  std::unique_ptr<LogEndpoint> log_endpoint_;
  std::unique_ptr<PageEndpoint> pages_;
  std::unique_ptr<FileEndpoint> files_;
  std::unique_ptr<httplib::Server> server_;
  std::thread thread_;
  std::atomic<bool> stopping_{false};
  int port_ = 0;
  std::string base_url_;
};

}  // namespace tarnel::standin
