#include "platform/script_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>
#include <string>
#include <vector>

namespace tarnel::platform {
namespace {

// Reads a double-quoted JavaScript string literal starting at `pos` the way a
// JavaScript engine does, and returns its value as UTF-8 and the position just
// past its closing quote. Nothing when the text is not a well-formed literal.
struct Decoded {
  std::string value;
  std::size_t end = 0;
};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::optional<Decoded> DecodeLiteral(const std::string& text, std::size_t pos) {
  if (pos >= text.size() || text[pos] != '"') return std::nullopt;
  std::vector<char16_t> units;
  std::size_t i = pos + 1;
  while (true) {
    if (i >= text.size()) return std::nullopt;
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '"') break;
    if (c == '\n' || c == '\r') return std::nullopt;  // a raw line end ends the statement
    if (c >= 0x80) return std::nullopt;               // only ASCII is expected from the encoder
    if (c != '\\') {
      units.push_back(c);
      ++i;
      continue;
    }
    if (++i >= text.size()) return std::nullopt;
    const char e = text[i++];
    switch (e) {
      case 'n': units.push_back('\n'); break;
      case 'r': units.push_back('\r'); break;
      case 't': units.push_back('\t'); break;
      case 'b': units.push_back('\b'); break;
      case 'f': units.push_back('\f'); break;
      case 'v': units.push_back('\v'); break;
      case '0': units.push_back(0); break;
      case 'u': {
        if (i + 4 > text.size()) return std::nullopt;
        unsigned value = 0;
        for (int k = 0; k < 4; ++k) {
          const char h = text[i + k];
          if (!std::isxdigit(static_cast<unsigned char>(h))) return std::nullopt;
          value = value * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(h))
                                                         ? h - '0'
                                                         : std::tolower(static_cast<unsigned char>(h)) - 'a' + 10);
        }
        units.push_back(static_cast<char16_t>(value));
        i += 4;
        break;
      }
      default: units.push_back(static_cast<unsigned char>(e)); break;
    }
  }
  std::string value;
  for (std::size_t k = 0; k < units.size(); ++k) {
    char32_t c = units[k];
    if (c >= 0xD800 && c <= 0xDBFF && k + 1 < units.size() && units[k + 1] >= 0xDC00 && units[k + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[k + 1] - 0xDC00);
      ++k;
    }
    AppendUtf8(value, c);
  }
  return Decoded{value, i + 1};
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
  return text;
}

// Checks that the literal of `text` reads back as `expected` and nothing more.
void ExpectLiteralReadsBack(const std::string& text, const std::string& expected) {
  const std::string literal = JsStringLiteral(text);
  const auto decoded = DecodeLiteral(literal, 0);
  ASSERT_TRUE(decoded.has_value()) << literal;
  EXPECT_EQ(decoded->end, literal.size()) << "literal ends early: " << literal;
  EXPECT_EQ(decoded->value, expected) << literal;
  for (const char c : literal) {
    const unsigned char u = static_cast<unsigned char>(c);
    EXPECT_TRUE(u >= 0x20 && u < 0x7F) << "not printable ASCII in " << literal;
  }
  EXPECT_EQ(Lower(literal).find("</script"), std::string::npos);
  EXPECT_EQ(literal.find("<!--"), std::string::npos);
  EXPECT_EQ(literal.find('\''), std::string::npos);
  EXPECT_EQ(literal.find('`'), std::string::npos);
}

const std::vector<std::string> kNastyPieces = {"\"",
                                               "\\",
                                               "'",
                                               "`",
                                               "${x}",
                                               "\n",
                                               "\r",
                                               "\t",
                                               std::string(1, '\0'),
                                               "\x01",
                                               "\x1F",
                                               "\x7F",
                                               "\xE2\x80\xA8",  // U+2028
                                               "\xE2\x80\xA9",  // U+2029
                                               "</script>",
                                               "</SCRIPT ",
                                               "<!--",
                                               "-->",
                                               "]]>",
                                               "*/",
                                               "//",
                                               "1);alert(1);(",
                                               "\");alert(1);(\"",
                                               "\\u0022",
                                               "\\\"",
                                               "{\"__proto__\":{\"x\":1}}",
                                               "\xC3\xA9",          // é
                                               "\xE4\xB8\xAD",      // 中
                                               "\xF0\x9F\x98\x80",  // U+1F600, a surrogate pair
                                               "\xEF\xBB\xBF",      // BOM
                                               "a",
                                               "Z",
                                               "0",
                                               " ",
                                               "&",
                                               "<",
                                               ">"};

TEST(JsStringLiteral, NastyPiecesReadBackExactlyAndStayInsideTheLiteral) {
  for (const auto& piece : kNastyPieces) {
    SCOPED_TRACE(piece);
    ExpectLiteralReadsBack(piece, piece);
    ExpectLiteralReadsBack("x" + piece + piece + "y", "x" + piece + piece + "y");
  }
  ExpectLiteralReadsBack("", "");
}

TEST(JsStringLiteral, RandomMixturesOfNastyPiecesReadBackExactly) {
  std::mt19937 random(20240611);
  std::uniform_int_distribution<std::size_t> pick(0, kNastyPieces.size() - 1);
  std::uniform_int_distribution<int> count(0, 12);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    for (int n = count(random); n > 0; --n) text += kNastyPieces[pick(random)];
    ExpectLiteralReadsBack(text, text);
    if (HasFailure()) return;
  }
}

TEST(JsStringLiteral, InvalidUtf8BecomesReplacementCharacters) {
  const std::string fffd = "\xEF\xBF\xBD";
  ExpectLiteralReadsBack(
      "a\xFF"
      "b",
      "a" + fffd + "b");
  ExpectLiteralReadsBack("\xC0\xAF", fffd + fffd);                        // overlong '/'
  ExpectLiteralReadsBack("\xED\xA0\x80", fffd + fffd + fffd);             // a lone surrogate
  ExpectLiteralReadsBack("\xE2\x82", fffd + fffd);                        // cut short at the end
  ExpectLiteralReadsBack("\xF4\x90\x80\x80", fffd + fffd + fffd + fffd);  // past U+10FFFF
  ExpectLiteralReadsBack("\xE2\x82\"", fffd + fffd + "\"");               // a quote right after a cut sequence
}

TEST(JsStringLiteral, EveryByteValueStaysInsideTheLiteral) {
  for (int b = 0; b < 256; ++b) {
    const std::string text = "<" + std::string(1, static_cast<char>(b)) + "\"";
    const std::string literal = JsStringLiteral(text);
    const auto decoded = DecodeLiteral(literal, 0);
    ASSERT_TRUE(decoded.has_value()) << b;
    EXPECT_EQ(decoded->end, literal.size()) << b;
  }
}

// Cuts the first string literal that starts at `marker` out of `script`.
std::string WithoutLiteralAfter(const std::string& script, const std::string& marker, std::string* value) {
  const auto at = script.find(marker);
  if (at == std::string::npos) return "marker missing";
  const auto decoded = DecodeLiteral(script, at + marker.size());
  if (!decoded) return "no literal";
  *value = decoded->value;
  return script.substr(0, at + marker.size()) + script.substr(decoded->end);
}

TEST(DeliverMessageScript, TheTextIsOnlyEverAnArgumentLiteral) {
  std::string plainValue;
  const std::string shape = WithoutLiteralAfter(DeliverMessageScript("{}"), "receive(", &plainValue);
  ASSERT_EQ(plainValue, "{}");
  for (const auto& json : {std::string("{\"a\":1,\"__proto__\":{\"x\":1}}"), std::string("1);alert(1);("),
                           std::string("\");alert(1);//"), std::string("</script><script>alert(1)</script>"),
                           std::string("\xE2\x80\xA8\");\n"), std::string("\\\");x(")}) {
    std::string value;
    EXPECT_EQ(WithoutLiteralAfter(DeliverMessageScript(json), "receive(", &value), shape) << json;
    EXPECT_EQ(value, json);
  }
}

TEST(PageBridgeScript, TheTokenIsOnlyEverALiteral) {
  std::string value;
  const std::string shape = WithoutLiteralAfter(PageBridgeScript("abc"), "var token = ", &value);
  ASSERT_EQ(value, "abc");
  for (const auto& token : {std::string("\"; alert(1); \""), std::string("'\n</script>"), std::string("")}) {
    EXPECT_EQ(WithoutLiteralAfter(PageBridgeScript(token), "var token = ", &value), shape) << token;
    EXPECT_EQ(value, token);
  }
}

TEST(PageBridgeScript, PostsThroughTheChannelAndDefinesTheReceiver) {
  const std::string script = PageBridgeScript("t");
  EXPECT_NE(script.find(JsStringLiteral(kPageMessageChannel)), std::string::npos);
  EXPECT_NE(script.find(JsStringLiteral(kPageReceiveFunction)), std::string::npos);
  EXPECT_NE(DeliverMessageScript("1").find(JsStringLiteral(kPageReceiveFunction)), std::string::npos);
}

}  // namespace
}  // namespace tarnel::platform
