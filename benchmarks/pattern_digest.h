#pragma once
// The SHA-256 of the benchmark's generated file, computed from the pattern
// with OpenSSL's EVP interface (not with the download job's own hasher), so
// the job's check is held against an independent figure.
#include <cstdint>
#include <optional>

#include "download/sha256.h"

namespace tarnel::bench {

// Nothing when OpenSSL failed.
std::optional<download::Sha256Digest> PatternSha256(std::uint64_t size);

}  // namespace tarnel::bench
