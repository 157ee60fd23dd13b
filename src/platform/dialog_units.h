#pragma once
// Dialog units to pixels, as a dialog template is laid out: the base units
// come from the template's font, measured by the platform. Pure functions;
// safe on any thread.

namespace tarnel::platform {

struct DialogBaseUnits {
  int x = 0;  // average character width in pixels
  int y = 0;  // character height in pixels
};

struct PixelSize {
  int cx = 0;
  int cy = 0;
  bool operator==(const PixelSize&) const = default;
};

// number * numerator / denominator with a 64-bit product, rounded half away
// from zero; -1 when the denominator is 0 (as the system's MulDiv).
int MulDiv(int number, int numerator, int denominator);

// Base units of a font: the average width of "A".."Z" "a".."z" (the pixel
// width of those 52 characters divided by 52, rounded) and the font height.
DialogBaseUnits BaseUnitsFromFont(int alphabetWidth, int fontHeight);

// Size in pixels of a template of cx by cy dialog units: a horizontal unit is
// a quarter of the base width, a vertical unit an eighth of the base height.
PixelSize DialogUnitsToPixels(int cx, int cy, DialogBaseUnits units);

}  // namespace tarnel::platform
