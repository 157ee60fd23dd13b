#pragma once
// A loopback HTTP/1.1 server for the benchmark, on plain sockets so that every
// header and the end of every answer is under its control.
//
//   GET /pattern/<bytes>.bin          a file of that many bytes of the block
//                                     pattern, generated block by block
//   GET /drop/<every>/<bytes>.bin     the same file, but each answer ends
//                                     abruptly (the connection is closed)
//                                     after <every> bytes of body
//
// Every answer carries Content-Length, Accept-Ranges and a strong ETag that
// names the size. A single "Range: bytes=first-[last]" is honoured with 206
// and Content-Range; with an If-Range that is not the ETag the Range is
// ignored and the whole file comes with 200; a range past the end gets 416.
// One connection, one answer ("Connection: close").
#include <atomic>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tarnel::bench {

// What the server has done since the last ResetCounters().
struct ServerCounters {
  std::uint64_t requests = 0;   // requests answered (any status)
  std::uint64_t bodyBytes = 0;  // body bytes the kernel accepted, all answers
  std::uint64_t ranged = 0;     // answers with 206
  std::uint64_t whole = 0;      // answers with 200
};

class PatternServer {
 public:
  // Binds 127.0.0.1 on a free port and starts accepting on its own thread.
  PatternServer();
  // Stops accepting, ends every open connection and joins all threads.
  ~PatternServer();
  PatternServer(const PatternServer&) = delete;
  PatternServer& operator=(const PatternServer&) = delete;

  bool IsRunning() const { return port_ > 0; }
  int Port() const { return port_; }
  std::string UrlFor(std::uint64_t size) const;
  std::string DroppingUrlFor(std::uint64_t size, std::uint64_t every) const;
  static std::string ETagFor(std::uint64_t size);

  ServerCounters Counters() const;
  void ResetCounters();

 private:
  void AcceptLoop();
  void Serve(int connection);

  int listener_ = -1;
  int stopEvent_ = -1;  // an eventfd that wakes the accept loop for the end
  int port_ = -1;
  std::thread acceptor_;

  std::mutex mutex_;  // guards open_ and workers_
  std::set<int> open_;
  std::vector<std::thread> workers_;

  std::atomic<std::uint64_t> requests_{0};
  std::atomic<std::uint64_t> bodyBytes_{0};
  std::atomic<std::uint64_t> ranged_{0};
  std::atomic<std::uint64_t> whole_{0};
};

}  // namespace tarnel::bench
