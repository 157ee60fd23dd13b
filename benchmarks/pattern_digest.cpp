#include "pattern_digest.h"

#include <openssl/evp.h>

#include <algorithm>
#include <memory>

#include "pattern_block.h"

namespace tarnel::bench {

std::optional<download::Sha256Digest> PatternSha256(std::uint64_t size) {
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return std::nullopt;
  PatternBlock pattern;
  for (std::uint64_t offset = 0, index = 0; offset < size; offset += kPatternBlockSize, ++index) {
    const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(kPatternBlockSize, size - offset));
    if (EVP_DigestUpdate(context.get(), pattern.Block(index), count) != 1) return std::nullopt;
  }
  download::Sha256Digest digest{};
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1 || length != digest.size()) return std::nullopt;
  return digest;
}

}  // namespace tarnel::bench
