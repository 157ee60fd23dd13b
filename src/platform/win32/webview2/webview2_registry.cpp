#include "platform/win32/webview2/webview2_registry.h"

#include <algorithm>

#include "platform/win32/webview2/local_app_data.h"
#include "platform/win32/webview2/webview2_paths.h"

namespace tarnel::platform::win32::webview2 {

std::optional<std::wstring> ReadRegistryString(void* root, const std::wstring& subkey, const wchar_t* value) {
  DWORD bytes = 0;
  HKEY hive = static_cast<HKEY>(root);
  if (RegGetValueW(hive, subkey.c_str(), value, RRF_RT_REG_SZ, nullptr, nullptr, &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  std::wstring text(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (RegGetValueW(hive, subkey.c_str(), value, RRF_RT_REG_SZ, nullptr, text.data(), &bytes) != ERROR_SUCCESS) {
    return std::nullopt;
  }
  text.resize(wcsnlen(text.c_str(), text.size()));
  if (text.empty()) return std::nullopt;
  return text;
}

std::vector<std::wstring> RuntimeFoldersFromRegistry() {
  const std::wstring key = std::wstring(L"SOFTWARE\\") + kRuntimeClientStateKey;
  const std::wstring wow_key = std::wstring(L"SOFTWARE\\WOW6432Node\\") + kRuntimeClientStateKey;
  std::vector<std::wstring> folders;
  for (auto [root, subkey] : {std::pair{HKEY_LOCAL_MACHINE, key}, std::pair{HKEY_LOCAL_MACHINE, wow_key},
                              std::pair{HKEY_CURRENT_USER, key}}) {
    if (auto folder = ReadRegistryString(root, subkey, kRuntimeFolderValue)) folders.push_back(*folder);
  }
  return folders;
}

std::vector<std::wstring> SubfolderNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found{};
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = found.cFileName;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..") names.push_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

}  // namespace tarnel::platform::win32::webview2

namespace tarnel::platform::win32::webview2 {

std::optional<std::wstring> FindRuntimeDllIn(const std::vector<std::wstring>& folders) {
  for (const std::wstring& folder : folders) {
    std::vector<std::wstring> versions = SubfolderNames(folder);
    // Newest first; a version folder without the DLL (a half-done update) is skipped.
    while (auto newest = NewestVersion(versions)) {
      std::wstring dll = EmbeddedBrowserDllPath(folder, *newest);
      if (GetFileAttributesW(dll.c_str()) != INVALID_FILE_ATTRIBUTES) return dll;
      versions.erase(std::find(versions.begin(), versions.end(), *newest));
    }
  }
  return std::nullopt;
}

std::optional<std::wstring> FindInstalledRuntimeDll() {
  return FindRuntimeDllIn(
      RuntimeSearchFolders(RuntimeFoldersFromRegistry(), ProgramFilesX86Folder(), LocalAppDataFolder()));
}

}  // namespace tarnel::platform::win32::webview2
