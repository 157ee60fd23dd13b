#pragma once
// A loopback HTTP server for the benchmark: GET /pattern/<bytes>.bin answers
// with a file of that many bytes of the block pattern, with Content-Length,
// generated block by block while it is sent.
#include <httplib.h>

#include <cstdint>
#include <string>
#include <thread>

namespace tarnel::bench {

class PatternServer {
 public:
  // Binds 127.0.0.1 on a free port and starts serving on its own thread.
  PatternServer();
  // Stops the server and joins its thread.
  ~PatternServer();
  PatternServer(const PatternServer&) = delete;
  PatternServer& operator=(const PatternServer&) = delete;

  // False when no port could be bound or the server did not come up.
  bool IsRunning() const { return port_ > 0 && server_.is_running(); }
  int Port() const { return port_; }
  std::string UrlFor(std::uint64_t size) const;

 private:
  httplib::Server server_;
  int port_ = -1;
  std::thread thread_;
};

}  // namespace tarnel::bench
