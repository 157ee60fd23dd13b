#include "file_check.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "pattern_block.h"

namespace tarnel::bench {

FileCheck CheckPatternFile(const std::string& path, std::uint64_t size) {
  std::error_code error;
  const std::uint64_t actual = std::filesystem::file_size(path, error);
  if (error) return {false, path + ": " + error.message()};
  if (actual != size) {
    return {false, path + ": " + std::to_string(actual) + " bytes, expected " + std::to_string(size)};
  }
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return {false, path + ": cannot open"};
  PatternBlock pattern;
  std::vector<char> buffer(kPatternBlockSize);
  for (std::uint64_t offset = 0, index = 0; offset < size; offset += kPatternBlockSize, ++index) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kPatternBlockSize, size - offset));
    if (std::fread(buffer.data(), 1, count, file.get()) != count) {
      return {false, path + ": short read at byte " + std::to_string(offset)};
    }
    if (std::memcmp(buffer.data(), pattern.Block(index), count) != 0) {
      return {false, path + ": content differs in the block at byte " + std::to_string(offset)};
    }
  }
  return {true, {}};
}

}  // namespace tarnel::bench
