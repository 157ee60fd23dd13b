#pragma once
// The content of the benchmark's generated file: blocks of one fixed
// pseudo-random pattern, each stamped with its block number in its first
// eight bytes, so that a lost, repeated or misplaced block shows when the
// downloaded file is checked. Nothing ever holds more than one block.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarnel::bench {

inline constexpr std::size_t kPatternBlockSize = std::size_t{1} << 20;

class PatternBlock {
 public:
  PatternBlock();

  // The kPatternBlockSize bytes of block `index`; valid until the next call.
  // One owner, one thread.
  const char* Block(std::uint64_t index);

 private:
  std::vector<char> bytes_;
};

}  // namespace tarnel::bench
