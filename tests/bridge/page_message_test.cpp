// Parsing page messages and reading their members.
#include <gtest/gtest.h>

#include "bridge/page_message.h"

namespace tarnel::bridge {
namespace {

using nlohmann::json;

TEST(PageMessage, ActionsAreFoundByExactNameOnly) {
  EXPECT_EQ(FindPageAction("open_url"), PageAction::kOpenUrl);
  EXPECT_EQ(FindPageAction("mousemove"), PageAction::kMouseMove);
  EXPECT_EQ(FindPageAction("resize_window"), PageAction::kResizeWindow);
  for (const char* type : {"Close", "CLOSE", " close", "close ", "", "dnld\n", "mouse_move"}) {
    EXPECT_EQ(FindPageAction(type), PageAction::kNone) << type;
  }
}

TEST(PageMessage, ParseKeepsTypeAndDataAndRejectsNonMessages) {
  auto message = ParsePageMessage(R"({"msg_type":"dnld","msg_data":{"url":"u"},"other":1})");
  ASSERT_TRUE(message);
  EXPECT_EQ(message->type, "dnld");
  EXPECT_EQ(message->data, json({{"url", "u"}}));
  message = ParsePageMessage(R"({"msg_type":"install"})");
  ASSERT_TRUE(message);
  EXPECT_TRUE(message->data.is_null());
  EXPECT_FALSE(ParsePageMessage("[]"));
  EXPECT_FALSE(ParsePageMessage("\"msg_type\""));
  EXPECT_FALSE(ParsePageMessage(R"({"type":"install"})"));
  EXPECT_THROW(ParsePageMessage(R"({"msg_type":null})"), json::type_error);
  EXPECT_THROW(ParsePageMessage("{} {}"), json::parse_error);
  EXPECT_THROW(ParsePageMessage(""), json::parse_error);
}

TEST(PageMessage, TextsBeyondTheSizeOrDepthLimitAreRefusedBeforeParsing) {
  // 32 levels in all pass; 33 do not, whatever is around them.
  const auto nested = [](int levels) {
    std::string data = "1";
    for (int i = 1; i < levels; ++i) data = "[" + data + "]";
    return R"({"msg_type":"x","msg_data":)" + data + "}";
  };
  EXPECT_TRUE(ParsePageMessage(nested(32)));
  EXPECT_THROW(ParsePageMessage(nested(33)), PageMessageTooLarge);
  // Far too deep to ever be built: refused without touching the parser.
  EXPECT_THROW(ParsePageMessage(std::string(200000, '[')), PageMessageTooLarge);
  // Brackets inside strings, escaped quotes included, are text.
  const std::string quoted = R"({"msg_type":"x","msg_data":")" + std::string(100, '[') + R"(\"[[["})";
  EXPECT_TRUE(ParsePageMessage(quoted));
  EXPECT_EQ(NestingDepth(R"(["\\",[1]])", 99), 2);
  EXPECT_EQ(NestingDepth(R"(["\"]",[[1]]])", 99), 3);

  const std::string head = R"({"msg_type":"x","msg_data":")";
  const std::string fits = head + std::string(kMaxPageMessageBytes - head.size() - 2, 'a') + "\"}";
  ASSERT_EQ(fits.size(), kMaxPageMessageBytes);
  EXPECT_TRUE(ParsePageMessage(fits));
  EXPECT_THROW(ParsePageMessage(fits + " "), PageMessageTooLarge);
}

TEST(PageMessage, DecodingCutsAtNulAndTreatsNoTextAsEmpty) {
  EXPECT_EQ(DecodePageText(std::string("ab\0cd", 5)), "ab");
  EXPECT_EQ(DecodePageText(std::nullopt), "");
  EXPECT_EQ(DecodePageText("标题"), "标题");
}

TEST(PageMessage, MemberReadsFollowTheLibraryConversions) {
  json data = json::parse(R"({"i":-7,"f":300.9,"n":-2.9,"t":true,"s":"x","big":3e9,"u":4294967295})");
  EXPECT_EQ(ReadInt(data, "i"), -7);
  EXPECT_EQ(ReadInt(data, "f"), 300);
  EXPECT_EQ(ReadInt(data, "n"), -2);
  EXPECT_EQ(ReadInt(data, "t"), 1);
  EXPECT_THROW(ReadInt(data, "s"), json::type_error);
  EXPECT_THROW(ReadInt(data, "big"), std::out_of_range);
  EXPECT_THROW(ReadInt(data, "missing"), json::type_error);
  EXPECT_EQ(ReadString(data, "s"), "x");
  EXPECT_THROW(ReadString(data, "i"), json::type_error);
  EXPECT_TRUE(ReadBool(data, "t"));
  EXPECT_THROW(ReadBool(data, "i"), json::type_error);

  // A null msg_data becomes an object; any other non-object cannot be indexed.
  json null;
  EXPECT_THROW(ReadString(null, "url"), json::type_error);
  EXPECT_TRUE(null.is_object());
  json text = "x";
  EXPECT_THROW(ReadString(text, "url"), json::type_error);
}

}  // namespace
}  // namespace tarnel::bridge
