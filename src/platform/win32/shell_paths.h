#pragma once
// Path pieces the shell calls need. Pure functions on UTF-16 paths; safe on
// any thread.
#include <string>
#include <string_view>

namespace tarnel::platform::win32 {

// The folder part of a path ("C:\a\b.exe" gives "C:\a", "C:\b.exe" gives
// "C:\"); empty when the path names no folder. Either slash separates.
std::wstring ParentFolder(std::wstring_view path);

}  // namespace tarnel::platform::win32
