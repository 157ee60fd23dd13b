#pragma once
// Strings the COM side allocates with CoTaskMemAlloc and hands over.
#include "platform/win32/windows_api.h"

#include <objbase.h>

#include <string>

namespace tarnel::platform::win32::webview2 {

// The text of `text` (empty for null), which is freed.
inline std::wstring TakeComString(LPWSTR text) {
  std::wstring result = text != nullptr ? std::wstring(text) : std::wstring();
  CoTaskMemFree(text);
  return result;
}

}  // namespace tarnel::platform::win32::webview2
