#pragma once
// Where the WebView2 runtime and the browser data live: pure rules over
// folder names, no file system or registry access.
#include <optional>
#include <string>
#include <vector>

namespace tarnel::platform::win32::webview2 {

// A runtime version folder name: four dot-separated decimal numbers.
std::optional<std::vector<unsigned long>> ParseVersion(const std::wstring& name);

// The highest version among the folder names; names that are not versions are
// ignored. Nothing when none is a version.
std::optional<std::wstring> NewestVersion(const std::vector<std::wstring>& names);

// "<root>\<version>\EBWebView\x64\EmbeddedBrowserWebView.dll", with exactly one
// separator between the parts whatever the root ends with.
std::wstring EmbeddedBrowserDllPath(const std::wstring& root, const std::wstring& version);

// "<folder>\WebView2Loader.dll".
std::wstring LoaderDllPath(const std::wstring& executable_folder);

// The build key made safe as one folder name: letters, digits, '.', '-' and '_'
// are kept, anything else becomes '_'; no trailing dots, no reserved device
// names, at most 64 characters; "default" when nothing is left.
std::wstring FolderNameForKey(const std::string& key);

// "<local_app_data>\Tarnel\<key folder>\WebView2".
std::wstring UserDataFolder(const std::wstring& local_app_data, const std::string& key);

}  // namespace tarnel::platform::win32::webview2
