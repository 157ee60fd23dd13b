#include "platform/script_text.h"

#include <cstdint>

namespace tarnel::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at `pos` and advances past it. An invalid or
// truncated sequence yields U+FFFD and skips one byte, so decoding always
// makes progress and never reads past the end.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(pos);
  if (lead < 0x80) {
    ++pos;
    return lead;
  }
  std::size_t length = 0;
  char32_t value = 0;
  char32_t minimum = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    ++pos;
    return kReplacement;
  }
  if (pos + length > text.size()) {
    ++pos;
    return kReplacement;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const std::uint8_t next = byte(pos + i);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return kReplacement;
    }
    value = (value << 6) | (next & 0x3F);
  }
  if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    ++pos;
    return kReplacement;
  }
  pos += length;
  return value;
}

void AppendUnitEscape(std::string& out, unsigned unit) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

bool IsPlainAscii(char32_t c) {
  if (c < 0x20 || c >= 0x7F) return false;
  switch (c) {
    case '"':
    case '\'':
    case '\\':
    case '`':
    case '<':
    case '>':
    case '&': return false;
    default: return true;
  }
}

}  // namespace

std::string JsStringLiteral(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 2);
  out += '"';
  for (std::size_t pos = 0; pos < text.size();) {
    const char32_t c = DecodeUtf8(text, pos);
    if (IsPlainAscii(c)) {
      out += static_cast<char>(c);
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c >= 0x10000) {
      const char32_t offset = c - 0x10000;
      AppendUnitEscape(out, 0xD800 + static_cast<unsigned>(offset >> 10));
      AppendUnitEscape(out, 0xDC00 + static_cast<unsigned>(offset & 0x3FF));
    } else {
      AppendUnitEscape(out, static_cast<unsigned>(c));
    }
  }
  out += '"';
  return out;
}

std::string PageBridgeScript(std::string_view token) {
  // Runs at document start in the top frame, before any script of the page,
  // so the references it takes cannot have been replaced by the page.
  std::string script;
  script += "(function () {\n";
  script += "  'use strict';\n";
  script += "  var handlers = window.webkit && window.webkit.messageHandlers;\n";
  script += "  var channel = handlers && handlers[" + JsStringLiteral(kPageMessageChannel) + "];\n";
  script += "  if (!channel) return;\n";
  script += "  var send = channel.postMessage.bind(channel);\n";
  script += "  var token = " + JsStringLiteral(token) + ";\n";
  // The document's origin, read before the page runs: with the token, it
  // tells the application which page a post comes from.
  script += "  var origin = location.origin;\n";
  script += "  var parse = JSON.parse;\n";
  script += "  var target = new EventTarget();\n";
  script += "  var webview = Object.freeze({\n";
  script += "    postMessage: function (value) {\n";
  script += "      var isString = typeof value === 'string';\n";
  script += "      send({ token: token, origin: origin, isString: isString, text: isString ? value : '' });\n";
  script += "    },\n";
  script += "    addEventListener: function (type, listener, options) {\n";
  script += "      target.addEventListener(type, listener, options);\n";
  script += "    },\n";
  script += "    removeEventListener: function (type, listener, options) {\n";
  script += "      target.removeEventListener(type, listener, options);\n";
  script += "    }\n";
  script += "  });\n";
  script += "  if (typeof window.chrome !== 'object' || window.chrome === null) window.chrome = {};\n";
  script += "  Object.defineProperty(window.chrome, 'webview', { value: webview, enumerable: true });\n";
  script += "  Object.defineProperty(window, " + JsStringLiteral(kPageReceiveFunction) + ", {\n";
  script += "    value: function (text) {\n";
  script += "      var data;\n";
  script += "      try { data = parse(text); } catch (e) { return; }\n";
  script += "      target.dispatchEvent(new MessageEvent('message', { data: data }));\n";
  script += "    }\n";
  script += "  });\n";
  script += "})();\n";
  return script;
}

std::string DeliverMessageScript(std::string_view json) {
  std::string script = "(function () { var receive = window[";
  script += JsStringLiteral(kPageReceiveFunction);
  script += "]; if (typeof receive === 'function') receive(";
  script += JsStringLiteral(json);
  script += "); })();";
  return script;
}

}  // namespace tarnel::platform
