#include "download/sha256.h"

namespace tarnel::download {

std::optional<Sha256Digest> ParseSha256Hex(std::string_view text) {
  if (text.size() != 64) return std::nullopt;
  Sha256Digest digest{};
  for (std::size_t i = 0; i < 64; ++i) {
    const char c = text[i];
    int value;
    if (c >= '0' && c <= '9') {
      value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
      value = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    digest[i / 2] = static_cast<std::uint8_t>(digest[i / 2] | (i % 2 == 0 ? value << 4 : value));
  }
  return digest;
}

std::string Sha256Hex(const Sha256Digest& digest) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(64);
  for (const std::uint8_t byte : digest) {
    text += kHex[byte >> 4];
    text += kHex[byte & 0xF];
  }
  return text;
}

}  // namespace tarnel::download
