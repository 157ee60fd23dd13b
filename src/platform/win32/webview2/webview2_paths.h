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

// The folders to search for an installed runtime, in order: those the
// registry names, then the runtime's default install folders below Program
// Files (x86) (machine-wide) and the local application data folder (per
// user), for installs whose registry entries are missing. Empty entries and
// repeats (ignoring case and a trailing separator) are dropped.
std::vector<std::wstring> RuntimeSearchFolders(const std::vector<std::wstring>& from_registry,
                                               const std::optional<std::wstring>& program_files_x86,
                                               const std::optional<std::wstring>& local_app_data);

// "<folder>\WebView2Loader.dll".
std::wstring LoaderDllPath(const std::wstring& executable_folder);

// The build key made safe as one folder name: letters, digits, '.', '-' and '_'
// are kept, anything else becomes '_'; no trailing dots, no reserved device
// names, at most 64 characters; "default" when nothing is left.
std::wstring FolderNameForKey(const std::string& key);

// "<local_app_data>\Tarnel\<key folder>\WebView2".
std::wstring UserDataFolder(const std::wstring& local_app_data, const std::string& key);

}  // namespace tarnel::platform::win32::webview2
