// SHA-256 through OpenSSL's EVP interface, which picks the CPU's SHA
// instructions where it has them.
#include <openssl/evp.h>

#include <new>

#include "download/sha256.h"

namespace tarnel::download {

struct Sha256::State {
  EVP_MD_CTX* context = nullptr;
  ~State() { EVP_MD_CTX_free(context); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  state_->context = EVP_MD_CTX_new();
  if (state_->context == nullptr) throw std::bad_alloc();
  Reset();
}

Sha256::~Sha256() = default;

void Sha256::Reset() { EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr); }

void Sha256::Update(const void* data, std::size_t size) { EVP_DigestUpdate(state_->context, data, size); }

Sha256Digest Sha256::Final() {
  Sha256Digest digest{};
  unsigned int length = 0;
  EVP_DigestFinal_ex(state_->context, digest.data(), &length);
  Reset();
  return digest;
}

}  // namespace tarnel::download
