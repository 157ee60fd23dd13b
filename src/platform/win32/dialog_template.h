#pragma once
// The main window's initial size: a dialog template of fixed dialog units,
// laid out with the template's font as the screen measures it.
#include "platform/win32/windows_api.h"

#include "platform/dialog_units.h"

namespace tarnel::platform::win32 {

inline constexpr int kTemplateWidthUnits = 320;
inline constexpr int kTemplateHeightUnits = 200;
// The dialog template font: the shell's dialog font at 9 points.
inline constexpr const wchar_t* kTemplateFont = L"MS Shell Dlg 2";
inline constexpr int kTemplateFontPoints = 9;

// The template's size in device pixels; the system's dialog base units when
// the font cannot be measured.
PixelSize TemplateSize();

}  // namespace tarnel::platform::win32
