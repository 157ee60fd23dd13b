#include "platform/dialog_units.h"

#include <cstdint>
#include <cstdlib>

namespace tarnel::platform {

int MulDiv(int number, int numerator, int denominator) {
  if (denominator == 0) return -1;
  const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
  const std::int64_t magnitude = (std::llabs(product) + std::llabs(static_cast<std::int64_t>(denominator)) / 2) /
                                 std::llabs(static_cast<std::int64_t>(denominator));
  const bool negative = (product < 0) != (denominator < 0);
  return static_cast<int>(negative ? -magnitude : magnitude);
}

DialogBaseUnits BaseUnitsFromFont(int alphabetWidth, int fontHeight) {
  // (width / 26 + 1) / 2 is the width of 52 characters over 52, rounded.
  return {(alphabetWidth / 26 + 1) / 2, fontHeight};
}

PixelSize DialogUnitsToPixels(int cx, int cy, DialogBaseUnits units) {
  return {MulDiv(cx, units.x, 4), MulDiv(cy, units.y, 8)};
}

}  // namespace tarnel::platform
