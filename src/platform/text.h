#pragma once
// Text conversions between the window side and 8-bit strings.
//
// On Linux the "ANSI code page" is UTF-8 and the window side holds UTF-8
// strings too, so every conversion is lossless. What is kept from the
// original conversions is their cut: each returns the text up to its first
// NUL character. Safe on any thread.
#include <string>
#include <string_view>

namespace tarnel::platform {

// Text up to its first NUL character.
std::string CutAtNul(std::string_view text);

// ANSI code page text to UTF-8.
std::string AnsiToUtf8(std::string_view text);

// UTF-8 text to the ANSI code page.
std::string Utf8ToAnsi(std::string_view text);

// Window-side string to 8-bit text in the thread's code page (CStringA from a wide string).
std::string NarrowThreadAcp(std::string_view text);

// 8-bit text in the thread's code page to a window-side string (CStringW from an 8-bit string).
std::string WidenThreadAcp(std::string_view text);

}  // namespace tarnel::platform
