#include "platform/gtk/dialog_font.h"

#include <pango/pango.h>

#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {

DialogBaseUnits MeasureBaseUnits(GdkScreen* screen, const char* font) {
  // The context carries the screen's resolution (Xft/DPI, GDK_DPI_SCALE) and font options.
  GObjectPtr<PangoContext> context(gdk_pango_context_get_for_screen(screen));
  PangoFontDescription* description = pango_font_description_from_string(font);
  GObjectPtr<PangoLayout> layout(pango_layout_new(context.get()));
  pango_layout_set_font_description(layout.get(), description);
  pango_layout_set_text(layout.get(), "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", -1);
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout.get(), &width, &height);
  PangoFontMetrics* metrics = pango_context_get_metrics(context.get(), description, nullptr);
  const int fontHeight = PANGO_PIXELS(pango_font_metrics_get_ascent(metrics) + pango_font_metrics_get_descent(metrics));
  pango_font_metrics_unref(metrics);
  pango_font_description_free(description);
  return BaseUnitsFromFont(width, fontHeight > 0 ? fontHeight : height);
}

PixelSize TemplateSize(GdkScreen* screen) {
  return DialogUnitsToPixels(kTemplateWidthUnits, kTemplateHeightUnits, MeasureBaseUnits(screen, kTemplateFont));
}

}  // namespace tarnel::platform::gtk
