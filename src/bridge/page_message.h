#pragma once
// Page messages: the JSON texts the page posts to drive the application.
//
// Parsing and member reads use the JSON library's strict forms and let its
// exceptions through; the dispatcher contains them. UI thread only.
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tarnel::bridge {

struct PageMessage {
  std::string type;     // msg_type, compared byte for byte
  nlohmann::json data;  // msg_data; null when missing
};

// The actions, in the order the dispatcher compares their names.
enum class PageAction {
  kOpenUrl,
  kInstall,
  kOpenDnldDir,
  kDnld,
  kPostData,
  kClose,
  kMinimize,
  kMaximize,
  kRestore,
  kResizeWindow,
  kMouseDown,
  kMouseUp,
  kMouseMove,
  kDnldCancel,
  kNone,
};

// The message text as the page posted it (nothing for a non-string), narrowed
// and turned into UTF-8; cut at the first NUL character.
std::string DecodePageText(const std::optional<std::string>& text);

// Limits of a page message, checked before any value is built from it, so
// no text can exhaust the stack or the memory of the parse.
inline constexpr std::size_t kMaxPageMessageBytes = 64 * 1024;
inline constexpr int kMaxPageMessageDepth = 32;

// Thrown for a text beyond those limits.
class PageMessageTooLarge : public std::length_error {
 public:
  using std::length_error::length_error;
};

// The deepest nesting of arrays and objects in a JSON text (brackets inside
// strings do not count); stops counting once past `limit`.
int NestingDepth(std::string_view text, int limit);

// Strict parse of one page message. Nothing when the text is not an object or
// has no msg_type. Throws PageMessageTooLarge for a text over the limits, and
// the JSON library's errors (invalid JSON, a msg_type that is not a string).
std::optional<PageMessage> ParsePageMessage(const std::string& utf8);

// The first action whose name equals the type; kNone when none does.
PageAction FindPageAction(std::string_view type);

// Member reads with the library's conversions: non-const operator[] (a null
// msg_data becomes an empty object, a missing member reads as null), then
// get<>. ReadInt accepts integers, fractions (truncated) and booleans; a
// fraction outside the 32-bit range is an error rather than an undefined cast.
std::string ReadString(nlohmann::json& data, const char* key);
bool ReadBool(nlohmann::json& data, const char* key);
int ReadInt(nlohmann::json& data, const char* key);

}  // namespace tarnel::bridge
