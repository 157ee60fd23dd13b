#pragma once
// A file that the service hands out under /files/: read in pieces at any
// offset, so ranges and throttled transfers need no copy of the whole file.
// One object serves one response; it is used by one worker thread at a time.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnel::standin {

class InstallerFile {
 public:
  virtual ~InstallerFile() = default;

  // Length of the whole file in bytes.
  virtual std::uint64_t size() const = 0;
  // Copies up to `length` bytes from `offset` into `out`. Returns the number
  // copied; 0 at the end of the file or when the file cannot be read.
  virtual std::size_t Read(std::uint64_t offset, char* out, std::size_t length) = 0;
  // Changes whenever the content may have changed; part of the strong ETag.
  virtual std::string version() const = 0;
};

}  // namespace tarnel::standin
