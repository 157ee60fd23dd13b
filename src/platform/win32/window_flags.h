#pragma once
// The window operations' flags as the Windows calls take them. Pure
// functions; safe on any thread.
#include "platform/win32/windows_api.h"

#include "platform/geometry.h"

namespace tarnel::platform::win32 {

// SetWindowPos flags of the dialog window interface (SWP_NOSIZE, SWP_NOMOVE,
// SWP_NOZORDER, the same values as Windows') for ::SetWindowPos: unknown bits
// are dropped, and placing never takes the focus from another window.
UINT ToSetWindowPosFlags(unsigned flags);

// A rectangle as the Windows calls give it, and back.
inline Rect ToRect(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
inline RECT ToRECT(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }

// The restored position of a window is kept in workspace coordinates, which
// are screen coordinates shifted by the work area's offset from its monitor.
Rect ScreenToWorkspace(const Rect& rect, const Rect& monitor, const Rect& workArea);
Rect WorkspaceToScreen(const Rect& rect, const Rect& monitor, const Rect& workArea);

}  // namespace tarnel::platform::win32
