#pragma once
// The size of the main window's dialog template, laid out with the template's
// font as this screen renders it.
#include <gdk/gdk.h>

#include "platform/dialog_units.h"

namespace tarnel::platform::gtk {

// Template of the main window: 320 x 200 dialog units in a 9-point font.
inline constexpr int kTemplateWidthUnits = 320;
inline constexpr int kTemplateHeightUnits = 200;
inline constexpr const char* kTemplateFont = "Sans 9";

// UI thread. Base units of `font` (a Pango description) measured with Pango at
// the screen's resolution, in logical pixels.
DialogBaseUnits MeasureBaseUnits(GdkScreen* screen, const char* font);

// UI thread. The template's size in logical pixels.
PixelSize TemplateSize(GdkScreen* screen);

}  // namespace tarnel::platform::gtk
