#pragma once
// The user's and the machine's known folders the host needs.
#include <optional>
#include <string>

namespace tarnel::platform::win32::webview2 {

// FOLDERID_LocalAppData: the browser data and per-user runtime installs.
std::optional<std::wstring> LocalAppDataFolder();
// FOLDERID_ProgramFilesX86: machine-wide runtime installs.
std::optional<std::wstring> ProgramFilesX86Folder();

}  // namespace tarnel::platform::win32::webview2
