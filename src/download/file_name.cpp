#include "download/file_name.h"

#include <cstdint>
#include <string_view>

namespace tarnel::download {
namespace {

// Length of the UTF-8 sequence starting with `lead`; 0 for a byte that cannot
// start one.
std::size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) return 2;
  if (lead >= 0xE0 && lead <= 0xEF) return 3;
  if (lead >= 0xF0 && lead <= 0xF4) return 4;
  return 0;
}

// Whether the `length` bytes at the start of `bytes` are one well-formed
// UTF-8 character: continuation bytes only, and a second byte that rules out
// overlong forms, surrogates and code points above U+10FFFF.
bool IsWellFormed(std::string_view bytes, std::size_t length) {
  if (length == 0 || length > bytes.size()) return false;
  const auto lead = static_cast<unsigned char>(bytes[0]);
  for (std::size_t j = 1; j < length; ++j) {
    if ((static_cast<unsigned char>(bytes[j]) & 0xC0) != 0x80) return false;
  }
  if (length < 3) return true;
  const auto second = static_cast<unsigned char>(bytes[1]);
  if (lead == 0xE0) return second >= 0xA0;
  if (lead == 0xED) return second <= 0x9F;
  if (lead == 0xF0) return second >= 0x90;
  if (lead == 0xF4) return second <= 0x8F;
  return true;
}

std::uint32_t DecodeSequence(std::string_view bytes) {
  const auto lead = static_cast<unsigned char>(bytes[0]);
  if (bytes.size() == 1) return lead;
  std::uint32_t code = lead & (0x7F >> bytes.size());
  for (std::size_t i = 1; i < bytes.size(); ++i) code = (code << 6) | (static_cast<unsigned char>(bytes[i]) & 0x3F);
  return code;
}

bool IsControlOrBidi(std::uint32_t code) {
  if (code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F)) return true;
  // Marks and embeddings that reorder how a name reads ("exe.txt" shown for "txt.exe").
  return code == 0x061C || code == 0x200E || code == 0x200F || (code >= 0x202A && code <= 0x202E) ||
         (code >= 0x2066 && code <= 0x2069);
}

bool IsReservedOnWindows(char c) {
  return c == '<' || c == '>' || c == ':' || c == '"' || c == '\\' || c == '|' || c == '?' || c == '*';
}

// Keeps whole characters only: invalid UTF-8 bytes are dropped.
std::string CleanCharacters(std::string_view segment) {
  std::string name;
  for (std::size_t i = 0; i < segment.size();) {
    const std::size_t length = SequenceLength(static_cast<unsigned char>(segment[i]));
    if (!IsWellFormed(segment.substr(i), length)) {
      ++i;
      continue;
    }
    const std::string_view character = segment.substr(i, length);
    i += length;
    if (IsControlOrBidi(DecodeSequence(character))) continue;
    if (length == 1 && IsReservedOnWindows(character[0])) {
      name += '_';
    } else {
      name += character;
    }
  }
  return name;
}

// The longest prefix of `text` of at most `bytes` bytes that ends on a character boundary.
std::string_view CutAtBoundary(std::string_view text, std::size_t bytes) {
  if (text.size() <= bytes) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

}  // namespace

std::string FileNameFromUrl(const std::string& url) {
  std::string_view text(url);
  text = text.substr(0, text.find('#'));
  text = text.substr(0, text.find('?'));
  const auto slash = text.rfind('/');
  std::string name = CleanCharacters(slash == std::string_view::npos ? std::string_view() : text.substr(slash + 1));

  const auto first = name.find_first_not_of(". ");
  name = first == std::string::npos ? std::string() : name.substr(first);
  const auto dropTrailingDotsAndSpaces = [&name] {
    while (!name.empty() && (name.back() == '.' || name.back() == ' ')) name.pop_back();
  };
  dropTrailingDotsAndSpaces();

  if (name.size() > kMaxNameBytes) {
    const auto dot = name.rfind('.');
    const std::string extension = dot != std::string::npos && name.size() - dot <= 16 ? name.substr(dot) : "";
    name = std::string(CutAtBoundary(name, kMaxNameBytes - extension.size())) + extension;
    // A cut without an extension can end the name on a dot or a space.
    dropTrailingDotsAndSpaces();
  }
  return name.empty() ? std::string(kFallbackName) : name;
}

bool IsUsableFilePath(const std::string& path) {
  // Windows paths separate with either slash.
  const auto slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return !name.empty() && name != "." && name != "..";
}

std::string JoinFolder(const std::string& folder, const std::string& name) { return folder + "/" + name; }

std::string NumberedPath(const std::string& path, int n) {
  if (n == 0) return path;
  const auto slash = path.find_last_of("/\\");
  const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  auto dot = path.rfind('.');
  // A dot that starts the name, or none in the name, leaves no extension.
  if (dot == std::string::npos || dot <= nameStart) dot = path.size();
  return path.substr(0, dot) + " (" + std::to_string(n) + ")" + path.substr(dot);
}

}  // namespace tarnel::download
