#include "platform/profile_file.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/profile_storage.h"

namespace tarnel::platform {
namespace {

// Longest value returned, in UTF-16 units (a 260-unit buffer less its NUL).
constexpr size_t kMaxValueUnits = 259;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// One line of the file: its text is [begin, end), the next line starts at next
// (end < next when the line has a terminator).
struct LineSpan {
  size_t begin;
  size_t end;
  size_t next;
};

// Where a key was found, or where it would go.
struct Lookup {
  bool sectionFound = false;
  size_t lastLine = 0;  // the section's last non-blank line (its header at least)
  std::optional<size_t> keyLine;
};

using profile_storage::ReadStatus;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

size_t ContentStart(std::string_view text) { return text.starts_with(kBom) ? kBom.size() : 0; }

std::vector<LineSpan> SplitLines(std::string_view text) {
  std::vector<LineSpan> lines;
  size_t pos = ContentStart(text);
  while (pos < text.size()) {
    size_t newline = text.find('\n', pos);
    if (newline == std::string_view::npos) {
      lines.push_back({pos, text.size(), text.size()});
      break;
    }
    size_t end = newline > pos && text[newline - 1] == '\r' ? newline - 1 : newline;
    lines.push_back({pos, end, newline + 1});
    pos = newline + 1;
  }
  return lines;
}

// The name of a section header line ("[name]"), or nothing for other lines.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (!line.starts_with('[')) return std::nullopt;
  line.remove_prefix(1);
  size_t close = line.rfind(']');
  if (close != std::string_view::npos) line = line.substr(0, close);
  return Trim(line);
}

// Splits a key line at its first '='; a line without '=' is a key with an empty value.
std::pair<std::string_view, std::string_view> SplitEntry(std::string_view line) {
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return {Trim(line), {}};
  return {Trim(line.substr(0, equals)), Trim(line.substr(equals + 1))};
}

Lookup Find(std::string_view text, const std::vector<LineSpan>& lines, std::string_view section, std::string_view key) {
  Lookup found;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string_view line = text.substr(lines[i].begin, lines[i].end - lines[i].begin);
    if (auto name = SectionName(line)) {
      if (found.sectionFound) break;  // only the first matching section counts
      if (EqualsNoCase(*name, section)) {
        found.sectionFound = true;
        found.lastLine = i;
      }
      continue;
    }
    if (!found.sectionFound || Trim(line).empty()) continue;
    found.lastLine = i;
    if (EqualsNoCase(SplitEntry(line).first, key)) {
      found.keyLine = i;
      break;
    }
  }
  return found;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Length in bytes of the UTF-8 character at pos; a byte that does not start a
// well-formed sequence counts as a character of its own.
size_t Utf8CharLength(std::string_view text, size_t pos) {
  auto lead = static_cast<unsigned char>(text[pos]);
  size_t length = 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
  }
  if (pos + length > text.size()) return 1;
  for (size_t i = 1; i < length; ++i) {
    if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80) return 1;
  }
  return length;
}

std::string_view CutToUtf16Units(std::string_view text, size_t maxUnits) {
  size_t units = 0;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t length = Utf8CharLength(text, pos);
    size_t charUnits = length == 4 ? 2 : 1;
    if (units + charUnits > maxUnits) break;
    units += charUnits;
    pos += length;
  }
  return text.substr(0, pos);
}

// The value of the key, trimmed, unquoted and cut; nothing when the file, the
// section or the key is missing.
std::optional<std::string> ReadValue(const std::string& section, const std::string& key, const std::string& file) {
  std::string content;
  if (profile_storage::ReadWhole(file, content) != ReadStatus::kOk) return std::nullopt;
  std::vector<LineSpan> lines = SplitLines(content);
  Lookup found = Find(content, lines, Trim(section), Trim(key));
  if (!found.keyLine) return std::nullopt;
  const LineSpan& line = lines[*found.keyLine];
  std::string_view value = SplitEntry(std::string_view(content).substr(line.begin, line.end - line.begin)).second;
  return std::string(CutToUtf16Units(StripQuotes(value), kMaxValueUnits));
}

// Whether the entry, once written, stays on its own line and is found again by its names.
bool IsWritable(std::string_view section, std::string_view key, std::string_view value) {
  constexpr std::string_view kLineBreakers("\r\n\0", 3);
  auto breaksLine = [&](std::string_view text) { return text.find_first_of(kLineBreakers) != text.npos; };
  if (breaksLine(section) || breaksLine(key) || breaksLine(value)) return false;
  return key.find('=') == key.npos && !Trim(key).starts_with('[') && section.find(']') == section.npos;
}

// The file's text with the key set; content is the whole file as read.
std::string Edit(const std::string& content, std::string_view section, std::string_view key, std::string_view value) {
  size_t firstNewline = content.find('\n', ContentStart(content));
  bool crlf = firstNewline != std::string::npos && firstNewline > 0 && content[firstNewline - 1] == '\r';
  std::string_view eol = crlf ? "\r\n" : "\n";

  std::vector<LineSpan> lines = SplitLines(content);
  Lookup found = Find(content, lines, section, key);
  std::string updated = content;
  if (found.keyLine) {
    // Rewrite the line in place, keeping the file's spelling of the key and the line's own terminator.
    const LineSpan& line = lines[*found.keyLine];
    std::string_view fileKey = SplitEntry(std::string_view(content).substr(line.begin, line.end - line.begin)).first;
    updated.replace(line.begin, line.end - line.begin, std::string(fileKey) + "=" + std::string(value));
  } else if (found.sectionFound) {
    const LineSpan& last = lines[found.lastLine];
    std::string entry = std::string(key) + "=" + std::string(value) + std::string(eol);
    if (last.end == last.next) entry.insert(0, eol);  // the section's last line ends the file unterminated
    updated.insert(last.next, entry);
  } else {
    if (content.size() > ContentStart(content) && content.back() != '\n') updated += eol;
    updated.append("[").append(section).append("]").append(eol);
    updated.append(key).append("=").append(value).append(eol);
  }
  return updated;
}

}  // namespace

unsigned GetPrivateProfileInt(const std::string& section, const std::string& key, int defaultValue,
                              const std::string& file) {
  try {
    std::optional<std::string> value = ReadValue(section, key, file);
    if (!value || value->empty()) return static_cast<unsigned>(defaultValue);
    std::uint32_t number = 0;
    for (char c : *value) {
      if (c < '0' || c > '9') break;
      number = number * 10u + static_cast<std::uint32_t>(c - '0');  // wraps modulo 2^32
    }
    return number;
  } catch (...) {
    return static_cast<unsigned>(defaultValue);
  }
}

std::string GetPrivateProfileString(const std::string& section, const std::string& key, const std::string& defaultValue,
                                    const std::string& file) {
  try {
    std::optional<std::string> value = ReadValue(section, key, file);
    return value ? *value : defaultValue;
  } catch (...) {
    return defaultValue;
  }
}

bool WritePrivateProfileString(const std::string& section, const std::string& key, const std::string& value,
                               const std::string& file) {
  try {
    if (file.empty() || !IsWritable(section, key, value)) return false;
    std::string_view sectionName = Trim(section);
    std::string_view keyName = Trim(key);
    std::string target = profile_storage::ResolveLink(file);
    std::string content;
    if (profile_storage::ReadWhole(target, content) == ReadStatus::kError) return false;
    // A file that grew past the bound would no longer be read at all, the
    // value written with it lost; such a write leaves the file as it is.
    const std::string updated = Edit(content, sectionName, keyName, value);
    if (updated.size() > profile_storage::kMaxFileBytes) return false;
    return profile_storage::Replace(target, updated);
  } catch (...) {
    return false;
  }
}

}  // namespace tarnel::platform
