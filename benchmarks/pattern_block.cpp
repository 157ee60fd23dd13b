#include "pattern_block.h"

#include <cstring>

namespace tarnel::bench {

PatternBlock::PatternBlock() : bytes_(kPatternBlockSize) {
  // xorshift64: the same bytes on every run and in every instance.
  std::uint64_t state = 0x9E3779B97F4A7C15ull;
  for (std::size_t i = 0; i < bytes_.size(); i += sizeof state) {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    std::memcpy(bytes_.data() + i, &state, sizeof state);
  }
}

const char* PatternBlock::Block(std::uint64_t index) {
  std::memcpy(bytes_.data(), &index, sizeof index);
  return bytes_.data();
}

}  // namespace tarnel::bench
