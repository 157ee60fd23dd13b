#pragma once
// The window messages of the download job, posted to the main window.
#include <cstdint>

#include "platform/messages.h"

namespace tarnel::download {

// wParam and lParam 0.
inline constexpr std::uint32_t WM_DNLD_START = platform::WM_USER + 1;
// wParam bytes received so far, lParam bytes expected in all (64-bit), for
// whoever watches the messages; the window reads the newest counters from the
// job's progress mailbox.
inline constexpr std::uint32_t WM_DL_PROGRESS = platform::WM_USER + 2;
// wParam and lParam 0.
inline constexpr std::uint32_t WM_DNLD_FINISHED = platform::WM_USER + 3;
// wParam and lParam 0: the transfer failed and the job is over.
inline constexpr std::uint32_t WM_DNLD_FAILED = platform::WM_USER + 4;

}  // namespace tarnel::download
