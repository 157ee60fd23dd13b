#pragma once
// Finding the installed Evergreen WebView2 runtime through the registry.
#include <optional>
#include <string>
#include <vector>

namespace tarnel::platform::win32::webview2 {

// The runtime's client state key, below SOFTWARE (and SOFTWARE\WOW6432Node).
inline constexpr wchar_t kRuntimeClientStateKey[] =
    L"Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
// Its value naming the folder that holds the runtime's version folders.
inline constexpr wchar_t kRuntimeFolderValue[] = L"EBWebView";

// The string value `value` of `subkey` under `root` (an HKEY), or nothing.
std::optional<std::wstring> ReadRegistryString(void* root, const std::wstring& subkey, const wchar_t* value);

// The runtime folders the registry names, in the order to try them: HKLM
// (64-bit view), HKLM WOW6432Node, then HKCU. Missing entries are skipped.
std::vector<std::wstring> RuntimeFoldersFromRegistry();

// The names of the sub-folders of `folder`.
std::vector<std::wstring> SubfolderNames(const std::wstring& folder);

}  // namespace tarnel::platform::win32::webview2

namespace tarnel::platform::win32::webview2 {

// The newest EmbeddedBrowserWebView.dll in the first of `folders` that holds
// one: version folders without the DLL (a half-done update) are skipped.
std::optional<std::wstring> FindRuntimeDllIn(const std::vector<std::wstring>& folders);

// The installed runtime's EmbeddedBrowserWebView.dll, searched in the folders
// the registry names and then in the default install folders. Nothing when no
// runtime is installed.
std::optional<std::wstring> FindInstalledRuntimeDll();

}  // namespace tarnel::platform::win32::webview2
