// libFuzzer target: any bytes as a download URL go through FileNameFromUrl,
// and the name it gives must be safe to join to a folder and keep what
// file_name.h promises: not empty, not "." or "..", no '/' or '\\' or other
// character no Windows name may hold, no control or bidirectional character,
// no leading dot or space, no trailing dot or space, whole UTF-8 characters
// only, and at most kMaxNameBytes bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "download/file_name.h"

namespace {

void Check(bool ok, const char* what, const std::string& name) {
  if (ok) return;
  std::fprintf(stderr, "file_name_fuzzer: broken promise: %s (name of %zu bytes)\n", what, name.size());
  std::fflush(stderr);
  __builtin_trap();
}

// Decodes the well-formed UTF-8 character at text[pos] (no overlong forms, no
// surrogates, nothing above U+10FFFF); its length in bytes, 0 when malformed.
std::size_t DecodeStrict(std::string_view text, std::size_t pos, std::uint32_t& code) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[pos + i]); };
  const unsigned char lead = byte(0);
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    code = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    code = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    code = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (pos + length > text.size() || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i) & 0x3F);
  }
  return length;
}

bool IsControlOrBidi(std::uint32_t code) {
  return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F) || code == 0x061C || code == 0x200E ||
         code == 0x200F || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using tarnel::download::FileNameFromUrl;
  using tarnel::download::kMaxNameBytes;
  const std::string name = FileNameFromUrl(std::string(reinterpret_cast<const char*>(data), size));

  Check(!name.empty(), "not empty", name);
  Check(name != "." && name != "..", "not . or ..", name);
  Check(name.size() <= kMaxNameBytes, "at most kMaxNameBytes", name);
  Check(name.find_first_of(std::string_view("/\\<>:\"|?*\0", 10)) == std::string::npos,
        "no separator, NUL or character reserved on Windows", name);
  Check(name.front() != '.' && name.front() != ' ', "no leading dot or space", name);
  Check(name.back() != '.' && name.back() != ' ', "no trailing dot or space", name);
  Check(tarnel::download::IsUsableFilePath(tarnel::download::JoinFolder("/d", name)), "usable joined path", name);
  for (std::size_t pos = 0; pos < name.size();) {
    std::uint32_t code = 0;
    const std::size_t length = DecodeStrict(name, pos, code);
    Check(length > 0, "whole UTF-8 characters only", name);
    Check(!IsControlOrBidi(code), "no control or bidirectional character", name);
    pos += length;
  }
  return 0;
}
