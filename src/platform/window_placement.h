#pragma once
// Where a centred window goes: on the work area of the monitor it lies on,
// or of the primary monitor when it lies on none, pushed inside that work
// area. Pure functions in device pixels; safe on any thread.
#include <vector>

#include "platform/geometry.h"

namespace tarnel::platform {

// Index of the monitor that shares the largest area with `window`, or
// `fallback` when the window overlaps none of them.
int MonitorForWindow(const Rect& window, const std::vector<Rect>& monitors, int fallback);

// `window` moved to the middle of `workArea`, then pushed inside it: right
// and bottom edges first, then left and top, so a window larger than the
// work area keeps its top-left corner in view. The size never changes.
Rect CenteredInWorkArea(const Rect& window, const Rect& workArea);

}  // namespace tarnel::platform
