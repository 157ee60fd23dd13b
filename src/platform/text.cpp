#include "platform/text.h"

namespace tarnel::platform {

std::string CutAtNul(std::string_view text) {
  const auto nul = text.find('\0');
  return std::string(nul == std::string_view::npos ? text : text.substr(0, nul));
}

std::string AnsiToUtf8(std::string_view text) { return CutAtNul(text); }
std::string Utf8ToAnsi(std::string_view text) { return CutAtNul(text); }
std::string NarrowThreadAcp(std::string_view text) { return CutAtNul(text); }
std::string WidenThreadAcp(std::string_view text) { return CutAtNul(text); }

}  // namespace tarnel::platform
