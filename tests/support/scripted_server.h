#pragma once
// A raw HTTP/1.1 server on 127.0.0.1 whose every answer a test scripts: status,
// headers, body, and whether the connection is cut after some bytes of the
// body or left hanging. It records each request's headers and counts the body
// bytes it sent. One connection at a time; each answer closes its connection.
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tarnel::test {

struct ScriptedRequest {
  std::string method;
  std::string target;
  std::map<std::string, std::string> headers;  // names in lower case
  std::string Header(const std::string& name) const {
    const auto it = headers.find(name);
    return it == headers.end() ? std::string() : it->second;
  }
};

struct ScriptedResponse {
  int status = 200;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  // Sends this many bytes of the body, then closes the connection.
  std::optional<std::size_t> dropAfter;
  // Sends the headers (and dropAfter bytes, if set), then holds the
  // connection open until the server stops.
  bool stall = false;
  // Content-Length to announce; the body's size when not set.
  std::optional<std::size_t> contentLength;
  // No Content-Length at all: the body ends when the connection closes.
  bool unannounced = false;
};

class ScriptedServer {
 public:
  using Handler = std::function<ScriptedResponse(const ScriptedRequest&, int index)>;
  explicit ScriptedServer(Handler handler);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  int port() const { return port_; }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  std::vector<ScriptedRequest> Requests() const;
  std::size_t BodyBytesSent() const { return sent_.load(); }

 private:
  void Run();
  void Serve(std::intptr_t client);

  Handler handler_;
  std::intptr_t listener_ = -1;  // a socket of either system
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<std::size_t> sent_{0};
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  std::vector<ScriptedRequest> requests_;
  std::thread thread_;
};

}  // namespace tarnel::test
