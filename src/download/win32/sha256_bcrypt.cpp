// SHA-256 through Windows' CNG (BCrypt), the system's own implementation.
#include <windows.h>

#include <bcrypt.h>

#include <new>

#include "download/sha256.h"

namespace tarnel::download {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~State() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (BCryptOpenAlgorithmProvider(&state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) < 0) throw std::bad_alloc();
  Reset();
}

Sha256::~Sha256() = default;

void Sha256::Reset() {
  if (state_->hash != nullptr) BCryptDestroyHash(state_->hash);
  state_->hash = nullptr;
  if (BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0, nullptr, 0, 0) < 0) throw std::bad_alloc();
}

void Sha256::Update(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ULONG chunk = size > (1u << 30) ? (1u << 30) : static_cast<ULONG>(size);
    BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), chunk, 0);
    bytes += chunk;
    size -= chunk;
  }
}

Sha256Digest Sha256::Final() {
  Sha256Digest digest{};
  BCryptFinishHash(state_->hash, digest.data(), static_cast<ULONG>(digest.size()), 0);
  Reset();
  return digest;
}

}  // namespace tarnel::download
