#pragma once
// A cpp-httplib server on 127.0.0.1 and a port chosen by the system, for tests
// that talk to real servers. Routes are registered before Start; every request
// that reaches a route is recorded before its handler runs. A POST handler
// sees the form parts in `files` and its body in `body`, as usual. The listening
// thread is started by Start and stopped and joined by the destructor.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>

namespace tarnel::test {

// What the server saw of one request.
struct RecordedRequest {
  std::string method;
  std::string path;    // without the query
  std::string target;  // path and query as sent
  httplib::Headers headers;
  std::string body;  // empty for a multipart form, which is parsed instead
  // Parts of a multipart form, as httplib's parser met them on the wire...
  std::vector<httplib::MultipartFormData> parts;
  // ...and by name.
  httplib::MultipartFormDataMap files;
};

class HttpTestServer {
 public:
  // A plain HTTP server.
  HttpTestServer();
  // Serves through `server` (e.g. an httplib::SSLServer); `scheme` is used by Url.
  HttpTestServer(std::unique_ptr<httplib::Server> server, std::string scheme);
  // Releases held handlers, stops the server and joins its thread.
  ~HttpTestServer();

  HttpTestServer(const HttpTestServer&) = delete;
  HttpTestServer& operator=(const HttpTestServer&) = delete;

  // Route registration; call before Start.
  void Get(const std::string& pattern, httplib::Server::Handler handler);
  void Post(const std::string& pattern, httplib::Server::Handler handler);

  // Binds to 127.0.0.1:0, starts listening on its own thread and waits until it
  // accepts connections. Throws when the server cannot be started.
  void Start();

  int port() const { return port_; }
  // "<scheme>://127.0.0.1:<port><pathAndQuery>"
  std::string Url(const std::string& pathAndQuery) const;

  // Requests recorded so far, in the order they reached their route.
  std::vector<RecordedRequest> Requests() const;
  std::size_t RequestCount() const;
  // Waits until at least `count` requests were recorded; false on timeout.
  bool WaitForRequests(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

  // For use inside a handler: blocks until Release() or the destructor. Lets a
  // test stand in for a service that accepts a request and never answers.
  void Hold();
  // Lets every held handler, present and future, go on.
  void Release();

 private:
  void Record(const httplib::Request& request, std::vector<httplib::MultipartFormData> parts);

  std::unique_ptr<httplib::Server> server_;
  std::string scheme_;
  int port_ = -1;
  std::thread thread_;

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<RecordedRequest> requests_;
  bool released_ = false;
};

}  // namespace tarnel::test
