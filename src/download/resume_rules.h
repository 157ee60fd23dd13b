#pragma once
// Rules for continuing a download where an earlier attempt stopped, and for
// reading what the server says about the whole file. Pure functions; safe on
// any thread.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnel::download {

// What identifies the file the first answer carried: its strong ETag, else
// its Last-Modified date. Without either, a retry must start from zero.
struct Validators {
  std::string etag;  // strong only: a weak ETag ("W/...") is not kept
  std::string lastModified;
  bool Any() const { return !etag.empty() || !lastModified.empty(); }
  // The If-Range value: the ETag when there is one, else the date.
  std::string IfRange() const { return etag.empty() ? lastModified : etag; }
  bool operator==(const Validators&) const = default;
};

Validators MakeValidators(std::string_view etag, std::string_view lastModified);

// The request headers of an attempt that continues after `offset` bytes.
// Empty when the attempt starts from zero.
std::vector<std::string> ResumeHeaders(std::uint64_t offset, const Validators& validators);

// "bytes first-last/total" of a Content-Range header ("*" for an unknown total).
struct ContentRange {
  std::uint64_t first = 0;
  std::uint64_t last = 0;
  std::optional<std::uint64_t> total;
};
std::optional<ContentRange> ParseContentRange(std::string_view value);

// What to do with the answer to an attempt that asked for `offset` onwards.
enum class ResumeAnswer {
  kAppend,     // 206 starting exactly at the offset
  kStartOver,  // 200: the whole file, the part is truncated first
  kDiscard,    // 416, or a 206 that does not start at the offset: the part goes, next attempt from zero
  kNotAFile,   // any other status: not file content at all
};
ResumeAnswer ClassifyResumeAnswer(long status, std::uint64_t offset, std::string_view contentRange);

// The SHA-256 of a Repr-Digest header ("sha-256=:<base64>:", among other
// algorithms in a list); nothing when it names none or is malformed.
std::optional<std::array<std::uint8_t, 32>> ParseReprDigestSha256(std::string_view value);

}  // namespace tarnel::download
