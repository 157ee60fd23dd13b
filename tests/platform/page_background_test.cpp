// Reading the page's background colour from the answer of its script.
#include "platform/page_background.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace tarnel::platform {
namespace {

bool Same(const std::optional<OpaqueColour>& colour, int r, int g, int b) {
  return colour && colour->red == r && colour->green == g && colour->blue == b;
}

TEST(PageBackground, OpaqueColoursAreTakenAndPartlyTransparentOnesLaidOverWhite) {
  EXPECT_TRUE(Same(PageBackgroundFromJson("[16,24,32,255]"), 16, 24, 32));
  EXPECT_TRUE(Same(PageBackgroundFromJson(" [ 0 , 0 , 0 , 255 ] "), 0, 0, 0));
  EXPECT_TRUE(Same(PageBackgroundFromJson("[0,0,0,128]"), 127, 127, 127));
  EXPECT_TRUE(Same(PageBackgroundFromJson("[255,0,0,1]"), 255, 254, 254));
}

TEST(PageBackground, AnythingButFourChannelValuesGivesNothing) {
  for (const char* json :
       {"null", "", "[", "[]", "[1,2,3]", "[1,2,3,4,5]", "[256,0,0,255]", "[-1,0,0,255]", "[1.5,0,0,255]",
        "[\"1\",0,0,255]", "{\"r\":1}", "\"rgb(1, 2, 3)\"", "[0,0,0,0]", "[16,24,32,255] trailing"}) {
    EXPECT_FALSE(PageBackgroundFromJson(json)) << json;
  }
  EXPECT_FALSE(PageBackgroundFromJson(std::string(100000, '[') + std::string(100000, ']')));
}

}  // namespace
}  // namespace tarnel::platform
