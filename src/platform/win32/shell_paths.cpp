#include "platform/win32/shell_paths.h"

namespace tarnel::platform::win32 {

std::wstring ParentFolder(std::wstring_view path) {
  const std::size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring_view::npos) return {};
  // A drive's root keeps its separator: "C:" alone would be the drive's current folder.
  if (slash == 2 && path[1] == L':') return std::wstring(path.substr(0, 3));
  if (slash == 0) return std::wstring(path.substr(0, 1));
  return std::wstring(path.substr(0, slash));
}

}  // namespace tarnel::platform::win32
