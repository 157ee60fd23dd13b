#pragma once
// Window messages and flags of the dialog window, with their original values,
// so that posted messages and handlers read as they do on every platform.
#include <cstdint>

namespace tarnel::platform {

using WPARAM = std::uint64_t;
using LPARAM = std::int64_t;
using LRESULT = std::int64_t;

inline constexpr std::uint32_t WM_CREATE = 0x0001;
inline constexpr std::uint32_t WM_SIZE = 0x0005;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_QUERYDRAGICON = 0x0037;
inline constexpr std::uint32_t WM_INITDIALOG = 0x0110;
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_USER = 0x0400;

// ShowWindow commands.
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMINIMIZED = 2;
inline constexpr int SW_SHOWMAXIMIZED = 3;
inline constexpr int SW_SHOWMINNOACTIVE = 7;

// SetWindowPos flags.
inline constexpr unsigned SWP_NOSIZE = 0x0001;
inline constexpr unsigned SWP_NOMOVE = 0x0002;
inline constexpr unsigned SWP_NOZORDER = 0x0004;

// WM_SIZE kinds.
inline constexpr unsigned SIZE_RESTORED = 0;
inline constexpr unsigned SIZE_MINIMIZED = 1;
inline constexpr unsigned SIZE_MAXIMIZED = 2;

// Message box.
inline constexpr unsigned MB_OK = 0;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// Packing of mouse messages: low word x, high word y, each 16 bits.
constexpr LPARAM MakeMouseLParam(int x, int y) {
  return static_cast<LPARAM>((static_cast<std::uint32_t>(x) & 0xFFFFu) |
                             ((static_cast<std::uint32_t>(y) & 0xFFFFu) << 16));
}
constexpr int MouseX(LPARAM lParam) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(lParam & 0xFFFF)); }
constexpr int MouseY(LPARAM lParam) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>((lParam >> 16) & 0xFFFF));
}
// Packing of WM_SIZE: low word width, high word height.
constexpr LPARAM MakeSizeLParam(int cx, int cy) { return MakeMouseLParam(cx, cy); }
constexpr int SizeWidth(LPARAM lParam) { return static_cast<int>(lParam & 0xFFFF); }
constexpr int SizeHeight(LPARAM lParam) { return static_cast<int>((lParam >> 16) & 0xFFFF); }

}  // namespace tarnel::platform
