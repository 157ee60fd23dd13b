#include "platform/win32/dialog_template.h"

namespace tarnel::platform::win32 {
namespace {

DialogBaseUnits SystemBaseUnits() {
  const LONG units = GetDialogBaseUnits();
  return {LOWORD(units), HIWORD(units)};
}

}  // namespace

PixelSize TemplateSize() {
  HDC screen = GetDC(nullptr);
  if (screen == nullptr) return DialogUnitsToPixels(kTemplateWidthUnits, kTemplateHeightUnits, SystemBaseUnits());
  // Points to pixels at the screen's resolution, as a template's font is made.
  const int height = -::MulDiv(kTemplateFontPoints, GetDeviceCaps(screen, LOGPIXELSY), 72);
  HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, kTemplateFont);
  DialogBaseUnits units = SystemBaseUnits();
  if (font != nullptr) {
    HGDIOBJ old = SelectObject(screen, font);
    static constexpr wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    SIZE extent{};
    TEXTMETRICW metrics{};
    if (GetTextExtentPoint32W(screen, kAlphabet, 52, &extent) && GetTextMetricsW(screen, &metrics) && extent.cx > 0 &&
        metrics.tmHeight > 0) {
      units = BaseUnitsFromFont(extent.cx, metrics.tmHeight);
    }
    SelectObject(screen, old);
    DeleteObject(font);
  }
  ReleaseDC(nullptr, screen);
  return DialogUnitsToPixels(kTemplateWidthUnits, kTemplateHeightUnits, units);
}

}  // namespace tarnel::platform::win32
