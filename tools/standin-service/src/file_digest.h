#pragma once
// SHA-256 of an installer file, read in blocks through InstallerFile, and the
// two ways it is written: hex for package.json, base64 for Repr-Digest.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "installer_file.h"

namespace tarnel::standin {

using Sha256 = std::array<unsigned char, 32>;

// Reads the whole file; throws std::runtime_error when it cannot be read.
Sha256 DigestOf(InstallerFile& file);

std::string ToHex(const Sha256& digest);     // 64 lowercase hex digits
std::string ToBase64(const Sha256& digest);  // 44 characters with padding

// 64 hex digits in either case.
bool IsSha256Hex(std::string_view text);

}  // namespace tarnel::standin
