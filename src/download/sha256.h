#pragma once
// SHA-256 of a download, computed by the system's well-kept implementation
// (OpenSSL's EVP on Linux, BCrypt on Windows).
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace tarnel::download {

using Sha256Digest = std::array<std::uint8_t, 32>;

// 64 hexadecimal digits, either case; nothing for anything else.
std::optional<Sha256Digest> ParseSha256Hex(std::string_view text);
std::string Sha256Hex(const Sha256Digest& digest);

class Sha256 {
 public:
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void Update(const void* data, std::size_t size);
  // The digest of everything since construction or the last Reset.
  Sha256Digest Final();
  void Reset();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace tarnel::download
