#include "bridge/page_message.h"

#include "bridge/protocol.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "platform/text.h"

namespace tarnel::bridge {

using nlohmann::json;

std::string DecodePageText(const std::optional<std::string>& text) {
  return platform::AnsiToUtf8(platform::NarrowThreadAcp(text.value_or(std::string())));
}

int NestingDepth(std::string_view text, int limit) {
  int depth = 0;
  int deepest = 0;
  bool inString = false;
  bool escaped = false;
  for (const char c : text) {
    if (inString) {
      if (escaped) {
        escaped = false;
      } else if (c == '\\') {
        escaped = true;
      } else if (c == '"') {
        inString = false;
      }
      continue;
    }
    if (c == '"') {
      inString = true;
    } else if (c == '[' || c == '{') {
      if (++depth > deepest) deepest = depth;
      if (deepest > limit) return deepest;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return deepest;
}

std::optional<PageMessage> ParsePageMessage(const std::string& utf8) {
  if (utf8.size() > kMaxPageMessageBytes) {
    throw PageMessageTooLarge("page message of " + std::to_string(utf8.size()) + " bytes");
  }
  if (NestingDepth(utf8, kMaxPageMessageDepth) > kMaxPageMessageDepth) {
    throw PageMessageTooLarge("page message nested deeper than " + std::to_string(kMaxPageMessageDepth));
  }
  json message = json::parse(utf8);
  if (!message.is_object() || !message.contains("msg_type")) return std::nullopt;
  PageMessage result;
  result.type = message["msg_type"].get<std::string>();
  // Moved, not copied: nothing of the parsed text is duplicated.
  if (const auto data = message.find("msg_data"); data != message.end()) result.data = std::move(*data);
  return result;
}

PageAction FindPageAction(std::string_view type) {
  static constexpr std::array<std::pair<std::string_view, PageAction>, 14> kActions{{
      {protocol::kOpenUrl, PageAction::kOpenUrl},
      {protocol::kInstall, PageAction::kInstall},
      {protocol::kOpenDnldDir, PageAction::kOpenDnldDir},
      {protocol::kDnld, PageAction::kDnld},
      {protocol::kPostData, PageAction::kPostData},
      {protocol::kClose, PageAction::kClose},
      {protocol::kMinimize, PageAction::kMinimize},
      {protocol::kMaximize, PageAction::kMaximize},
      {protocol::kRestore, PageAction::kRestore},
      {protocol::kResizeWindow, PageAction::kResizeWindow},
      {protocol::kMouseDown, PageAction::kMouseDown},
      {protocol::kMouseUp, PageAction::kMouseUp},
      {protocol::kMouseMove, PageAction::kMouseMove},
      {protocol::kDnldCancel, PageAction::kDnldCancel},
  }};
  for (const auto& [name, action] : kActions) {
    if (name == type) return action;
  }
  return PageAction::kNone;
}

std::string ReadString(json& data, const char* key) { return data[key].get<std::string>(); }

bool ReadBool(json& data, const char* key) { return data[key].get<bool>(); }

int ReadInt(json& data, const char* key) {
  json& value = data[key];
  if (value.is_number_float()) {
    const double number = value.get<double>();
    // Truncation toward zero must land in range; beyond it the cast is undefined.
    if (!(number > -2147483649.0 && number < 2147483648.0)) {
      throw std::out_of_range("number out of the 32-bit range: " + value.dump());
    }
  }
  return value.get<int>();
}

}  // namespace tarnel::bridge
