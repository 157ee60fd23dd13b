#include "platform/win32/window_flags.h"

#include "platform/messages.h"

namespace tarnel::platform::win32 {

UINT ToSetWindowPosFlags(unsigned flags) { return (flags & (SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER)) | SWP_NOACTIVATE; }

Rect ScreenToWorkspace(const Rect& rect, const Rect& monitor, const Rect& workArea) {
  const int dx = workArea.left - monitor.left;
  const int dy = workArea.top - monitor.top;
  return {rect.left - dx, rect.top - dy, rect.right - dx, rect.bottom - dy};
}

Rect WorkspaceToScreen(const Rect& rect, const Rect& monitor, const Rect& workArea) {
  const int dx = workArea.left - monitor.left;
  const int dy = workArea.top - monitor.top;
  return {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

}  // namespace tarnel::platform::win32
