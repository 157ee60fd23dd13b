#include "file_digest.h"

#include <algorithm>
#include <memory>
#include <stdexcept>
#include <vector>

#include <openssl/evp.h>

namespace tarnel::standin {

Sha256 DigestOf(InstallerFile& file) {
  std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available");
  }
  std::vector<char> block(1 << 20);
  for (std::uint64_t offset = 0; offset < file.size();) {
    const std::size_t got = file.Read(offset, block.data(), block.size());
    if (got == 0) {
      throw std::runtime_error("the file ended early while computing its SHA-256");
    }
    EVP_DigestUpdate(context.get(), block.data(), got);
    offset += got;
  }
  Sha256 digest{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(context.get(), digest.data(), &length);
  return digest;
}

std::string ToHex(const Sha256& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (unsigned char byte : digest) {
    text += kDigits[byte >> 4];
    text += kDigits[byte & 0x0f];
  }
  return text;
}

std::string ToBase64(const Sha256& digest) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  for (std::size_t i = 0; i < digest.size(); i += 3) {
    const std::size_t left = digest.size() - i;
    const std::uint32_t group = (std::uint32_t{digest[i]} << 16) | (left > 1 ? std::uint32_t{digest[i + 1]} << 8 : 0) |
                                (left > 2 ? std::uint32_t{digest[i + 2]} : 0);
    text += kAlphabet[(group >> 18) & 63];
    text += kAlphabet[(group >> 12) & 63];
    text += left > 1 ? kAlphabet[(group >> 6) & 63] : '=';
    text += left > 2 ? kAlphabet[group & 63] : '=';
  }
  return text;
}

bool IsSha256Hex(std::string_view text) {
  return text.size() == 64 && std::all_of(text.begin(), text.end(), [](unsigned char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
         });
}

}  // namespace tarnel::standin
