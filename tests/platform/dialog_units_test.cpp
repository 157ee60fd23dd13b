#include "platform/dialog_units.h"

#include <gtest/gtest.h>

namespace tarnel::platform {
namespace {

TEST(MulDiv, RoundsHalfAwayFromZeroWithAWideProduct) {
  EXPECT_EQ(MulDiv(320, 7, 4), 560);
  EXPECT_EQ(MulDiv(5, 1, 2), 3);    // 2.5 rounds up
  EXPECT_EQ(MulDiv(-5, 1, 2), -3);  // -2.5 rounds away from zero
  EXPECT_EQ(MulDiv(7, 1, 4), 2);    // 1.75
  EXPECT_EQ(MulDiv(5, 1, 4), 1);    // 1.25
  EXPECT_EQ(MulDiv(5, 1, -2), -3);
  EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);  // the product needs 64 bits
  EXPECT_EQ(MulDiv(1, 1, 0), -1);
}

TEST(BaseUnitsFromFont, AverageOfTheFiftyTwoLettersRounded) {
  // 52 letters 338 pixels wide: 6.5 per letter rounds to 7.
  EXPECT_EQ(BaseUnitsFromFont(338, 15).x, 7);
  // 337 pixels: 6.48 rounds to 6.
  EXPECT_EQ(BaseUnitsFromFont(337, 15).x, 6);
  EXPECT_EQ(BaseUnitsFromFont(312, 15).x, 6);
  EXPECT_EQ(BaseUnitsFromFont(312, 15).y, 15);
}

TEST(DialogUnitsToPixels, TemplateSizeFollowsTheFont) {
  // The familiar system font: base units 6 x 13 give 480 x 325 for 320 x 200 units.
  EXPECT_EQ(DialogUnitsToPixels(320, 200, {6, 13}), (PixelSize{480, 325}));
  // A larger font, as at 144 DPI: 9 x 20 give 720 x 500.
  EXPECT_EQ(DialogUnitsToPixels(320, 200, {9, 20}), (PixelSize{720, 500}));
  // Rounding of a vertical unit that is not a whole pixel: 200 * 15 / 8 = 375, 3 * 15 / 8 = 5.6 -> 6.
  EXPECT_EQ(DialogUnitsToPixels(3, 3, {7, 15}), (PixelSize{5, 6}));
}

}  // namespace
}  // namespace tarnel::platform
