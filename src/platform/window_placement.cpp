#include "platform/window_placement.h"

#include <algorithm>
#include <cstdint>

namespace tarnel::platform {

int MonitorForWindow(const Rect& window, const std::vector<Rect>& monitors, int fallback) {
  int best = fallback;
  std::int64_t bestArea = 0;
  for (std::size_t i = 0; i < monitors.size(); ++i) {
    const Rect& m = monitors[i];
    const std::int64_t w = std::min(window.right, m.right) - std::max(window.left, m.left);
    const std::int64_t h = std::min(window.bottom, m.bottom) - std::max(window.top, m.top);
    if (w > 0 && h > 0 && w * h > bestArea) {
      bestArea = w * h;
      best = static_cast<int>(i);
    }
  }
  return best;
}

Rect CenteredInWorkArea(const Rect& window, const Rect& workArea) {
  const int width = window.Width();
  const int height = window.Height();
  int left = (workArea.left + workArea.right) / 2 - width / 2;
  int top = (workArea.top + workArea.bottom) / 2 - height / 2;
  if (left + width > workArea.right) left = workArea.right - width;
  if (top + height > workArea.bottom) top = workArea.bottom - height;
  if (left < workArea.left) left = workArea.left;
  if (top < workArea.top) top = workArea.top;
  return {left, top, left + width, top + height};
}

}  // namespace tarnel::platform
