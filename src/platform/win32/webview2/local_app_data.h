#pragma once
// The user's local application data folder (FOLDERID_LocalAppData).
#include <optional>
#include <string>

namespace tarnel::platform::win32::webview2 {

std::optional<std::wstring> LocalAppDataFolder();

}  // namespace tarnel::platform::win32::webview2
