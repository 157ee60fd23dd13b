#include "download/resume_rules.h"

#include <charconv>

namespace tarnel::download {
namespace {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

bool ParseNumber(std::string_view text, std::uint64_t& value) {
  if (text.empty()) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Standard base64 with padding, exactly as a structured-field byte sequence carries it.
std::optional<std::vector<std::uint8_t>> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    int values[4];
    int padding = 0;
    for (int j = 0; j < 4; ++j) {
      const char c = text[i + j];
      if (c == '=' && i + 4 == text.size() && j >= 2) {
        values[j] = 0;
        ++padding;
        continue;
      }
      if (padding > 0) return std::nullopt;  // data after padding
      values[j] = Base64Value(c);
      if (values[j] < 0) return std::nullopt;
    }
    const std::uint32_t group = (static_cast<std::uint32_t>(values[0]) << 18) |
                                (static_cast<std::uint32_t>(values[1]) << 12) |
                                (static_cast<std::uint32_t>(values[2]) << 6) | static_cast<std::uint32_t>(values[3]);
    bytes.push_back(static_cast<std::uint8_t>(group >> 16));
    if (padding < 2) bytes.push_back(static_cast<std::uint8_t>(group >> 8));
    if (padding < 1) bytes.push_back(static_cast<std::uint8_t>(group));
  }
  return bytes;
}

}  // namespace

Validators MakeValidators(std::string_view etag, std::string_view lastModified) {
  Validators validators;
  etag = Trim(etag);
  // A weak tag may name a different byte sequence: never splice on it.
  if (etag.size() >= 2 && etag.front() == '"' && etag.back() == '"') validators.etag = std::string(etag);
  validators.lastModified = std::string(Trim(lastModified));
  return validators;
}

std::vector<std::string> ResumeHeaders(std::uint64_t offset, const Validators& validators) {
  if (offset == 0 || !validators.Any()) return {};
  return {"Range: bytes=" + std::to_string(offset) + "-", "If-Range: " + validators.IfRange()};
}

std::optional<ContentRange> ParseContentRange(std::string_view value) {
  value = Trim(value);
  constexpr std::string_view kUnit = "bytes ";
  if (value.substr(0, kUnit.size()) != kUnit) return std::nullopt;
  value.remove_prefix(kUnit.size());
  const auto dash = value.find('-');
  const auto slash = value.find('/');
  if (dash == std::string_view::npos || slash == std::string_view::npos || dash > slash) return std::nullopt;
  ContentRange range;
  if (!ParseNumber(value.substr(0, dash), range.first) ||
      !ParseNumber(value.substr(dash + 1, slash - dash - 1), range.last) || range.last < range.first) {
    return std::nullopt;
  }
  const std::string_view total = value.substr(slash + 1);
  if (total != "*") {
    std::uint64_t number = 0;
    if (!ParseNumber(total, number) || number <= range.last) return std::nullopt;
    range.total = number;
  }
  return range;
}

ResumeAnswer ClassifyResumeAnswer(long status, std::uint64_t offset, std::string_view contentRange) {
  if (status == 200) return ResumeAnswer::kStartOver;
  if (status == 416) return ResumeAnswer::kDiscard;
  if (status == 206) {
    const auto range = ParseContentRange(contentRange);
    return offset > 0 && range && range->first == offset ? ResumeAnswer::kAppend : ResumeAnswer::kDiscard;
  }
  return ResumeAnswer::kNotAFile;
}

std::optional<std::array<std::uint8_t, 32>> ParseReprDigestSha256(std::string_view value) {
  // A dictionary of structured fields: key=:base64:, separated by commas.
  while (!value.empty()) {
    const auto comma = value.find(',');
    std::string_view member = Trim(value.substr(0, comma));
    value = comma == std::string_view::npos ? std::string_view() : value.substr(comma + 1);
    const auto equals = member.find('=');
    if (equals == std::string_view::npos || Trim(member.substr(0, equals)) != "sha-256") continue;
    std::string_view bytes = Trim(member.substr(equals + 1));
    if (bytes.size() < 2 || bytes.front() != ':' || bytes.back() != ':') return std::nullopt;
    const auto decoded = DecodeBase64(bytes.substr(1, bytes.size() - 2));
    if (!decoded || decoded->size() != 32) return std::nullopt;
    std::array<std::uint8_t, 32> digest{};
    for (std::size_t i = 0; i < 32; ++i) digest[i] = (*decoded)[i];
    return digest;
  }
  return std::nullopt;
}

}  // namespace tarnel::download
