#pragma once
// GET /files/<name>: installer files with Content-Length, single byte ranges
// and optional pacing. Runs on the server's worker threads.
#include <atomic>
#include <cstdint>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace tarnel::standin {

class InstallerStore;

class FileEndpoint {
 public:
  // `bytes_per_second` 0: unpaced. `stopping` is the service's stop flag.
  FileEndpoint(const InstallerStore& store, std::uint64_t bytes_per_second, const std::atomic<bool>& stopping);

  // The route's first match group is the file name. 200 with the whole file,
  // 206 with one range, 416 for a range beyond the end, 404 for no such file.
  void Handle(const httplib::Request& request, httplib::Response& response) const;

 private:
  const InstallerStore& store_;
  std::uint64_t rate_;
  const std::atomic<bool>& stopping_;
};

}  // namespace tarnel::standin
