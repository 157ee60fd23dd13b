#pragma once
// GET /files/<name>: installer files with Content-Length, a strong ETag,
// single byte ranges (If-Range honoured), optional pacing and optional
// answers cut short. Runs on the server's worker threads.
#include <atomic>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "file_digest.h"

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace tarnel::standin {

class InstallerStore;

// A file's SHA-256 as computed at start, valid while its ETag is the same.
struct KnownDigest {
  std::string etag;
  Sha256 digest{};
};

struct FileServing {
  std::uint64_t bytes_per_second = 0;          // 0: unpaced
  std::optional<std::uint64_t> drop_after;     // cut answers after this many body bytes
  std::uint64_t drop_count = 0;                // how many answers are cut
  std::map<std::string, KnownDigest> digests;  // by file name; sent as Repr-Digest
};

class FileEndpoint {
 public:
  // `stopping` is the service's stop flag.
  FileEndpoint(const InstallerStore& store, FileServing serving, const std::atomic<bool>& stopping);

  // The route's first match group is the file name. 200 with the whole file,
  // 206 with one range, 416 for a range beyond the end, 404 for no such file.
  // An If-Range that is not the current ETag gives 200 with the whole file.
  void Handle(const httplib::Request& request, httplib::Response& response) const;

  // The strong ETag of a file: its size and content version, quoted.
  static std::string ETagOf(const InstallerFile& file);

  // GET requests answered so far (404s included) and the body bytes written.
  std::uint64_t requests() const { return requests_; }
  std::uint64_t body_bytes() const { return body_bytes_; }

 private:
  // True when this answer, `body` bytes long, is one of those to cut.
  bool TakeDrop(std::uint64_t body) const;

  const InstallerStore& store_;
  FileServing serving_;
  const std::atomic<bool>& stopping_;
  mutable std::atomic<std::uint64_t> drops_left_;
  mutable std::atomic<std::uint64_t> requests_{0};
  mutable std::atomic<std::uint64_t> body_bytes_{0};
};

}  // namespace tarnel::standin
