#pragma once
// Window arithmetic of the page's window commands.
#include <cstdint>

namespace tarnel::window {

// A page size in device pixels at 96 DPI scaled to the screen's DPI: the
// product as a 32-bit unsigned value, then a truncating division.
constexpr int ScaleForDpi(int value, unsigned dpi) {
  return static_cast<int>(static_cast<std::uint32_t>(dpi * static_cast<std::uint32_t>(value)) / 96u);
}

}  // namespace tarnel::window
