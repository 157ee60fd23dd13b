#pragma once
// Checks a downloaded file against the block pattern that the server sent.
#include <cstdint>
#include <string>

namespace tarnel::bench {

struct FileCheck {
  bool ok = false;
  std::string problem;  // empty when ok
};

// Reads the file in pattern-sized blocks: right size and every block equal
// to the one the server generated for that position.
FileCheck CheckPatternFile(const std::string& path, std::uint64_t size);

}  // namespace tarnel::bench
