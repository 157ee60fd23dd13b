#include "platform/win32/webview2/webview2_paths.h"

#include <algorithm>
#include <array>
#include <cwctype>

namespace tarnel::platform::win32::webview2 {
namespace {

constexpr size_t kMaxKeyFolderLength = 64;

std::wstring JoinPath(std::wstring base, const std::wstring& part) {
  while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  if (base.empty()) return part;
  return base + L'\\' + part;
}

bool IsReservedDeviceName(const std::string& name) {
  std::string upper;
  for (char c : name.substr(0, name.find('.'))) upper += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  static constexpr std::array<const char*, 4> kPlain = {"CON", "PRN", "AUX", "NUL"};
  for (const char* reserved : kPlain) {
    if (upper == reserved) return true;
  }
  return upper.size() == 4 && (upper.starts_with("COM") || upper.starts_with("LPT")) && upper[3] >= '0' &&
         upper[3] <= '9';
}

std::wstring FolderKey(std::wstring folder) {
  while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
  for (wchar_t& c : folder) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return folder;
}

// Where the runtime installs itself below Program Files (x86) and below the
// user's local application data.
constexpr wchar_t kDefaultRuntimeFolder[] = L"Microsoft\\EdgeWebView\\Application";

}  // namespace

std::vector<std::wstring> RuntimeSearchFolders(const std::vector<std::wstring>& from_registry,
                                               const std::optional<std::wstring>& program_files_x86,
                                               const std::optional<std::wstring>& local_app_data) {
  std::vector<std::wstring> candidates = from_registry;
  for (const auto& base : {program_files_x86, local_app_data}) {
    if (base && !base->empty()) candidates.push_back(JoinPath(*base, kDefaultRuntimeFolder));
  }
  std::vector<std::wstring> folders;
  std::vector<std::wstring> seen;
  for (const std::wstring& folder : candidates) {
    const std::wstring key = FolderKey(folder);
    if (key.empty() || std::find(seen.begin(), seen.end(), key) != seen.end()) continue;
    seen.push_back(key);
    folders.push_back(folder);
  }
  return folders;
}

std::optional<std::vector<unsigned long>> ParseVersion(const std::wstring& name) {
  std::vector<unsigned long> parts;
  size_t start = 0;
  while (true) {
    size_t end = name.find(L'.', start);
    std::wstring part = name.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
    if (part.empty() || part.size() > 9) return std::nullopt;
    unsigned long value = 0;
    for (wchar_t c : part) {
      if (c < L'0' || c > L'9') return std::nullopt;
      value = value * 10 + static_cast<unsigned long>(c - L'0');
    }
    parts.push_back(value);
    if (end == std::wstring::npos) break;
    start = end + 1;
  }
  if (parts.size() != 4) return std::nullopt;
  return parts;
}

std::optional<std::wstring> NewestVersion(const std::vector<std::wstring>& names) {
  std::optional<std::wstring> best;
  std::vector<unsigned long> best_version;
  for (const std::wstring& name : names) {
    auto version = ParseVersion(name);
    if (!version) continue;
    if (!best || *version > best_version) {
      best = name;
      best_version = *version;
    }
  }
  return best;
}

std::wstring EmbeddedBrowserDllPath(const std::wstring& root, const std::wstring& version) {
  return JoinPath(JoinPath(root, version), L"EBWebView\\x64\\EmbeddedBrowserWebView.dll");
}

std::wstring LoaderDllPath(const std::wstring& executable_folder) {
  return JoinPath(executable_folder, L"WebView2Loader.dll");
}

std::wstring FolderNameForKey(const std::string& key) {
  std::string name;
  for (char c : key) {
    bool keep =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
    name += keep ? c : '_';
  }
  if (name.size() > kMaxKeyFolderLength) name.resize(kMaxKeyFolderLength);
  while (!name.empty() && name.back() == '.') name.pop_back();
  if (std::all_of(name.begin(), name.end(), [](char c) { return c == '.'; })) name.clear();
  if (name.empty()) name = "default";
  if (IsReservedDeviceName(name)) name = "_" + name;
  return std::wstring(name.begin(), name.end());
}

std::wstring UserDataFolder(const std::wstring& local_app_data, const std::string& key) {
  return JoinPath(JoinPath(JoinPath(local_app_data, L"Tarnel"), FolderNameForKey(key)), L"WebView2");
}

}  // namespace tarnel::platform::win32::webview2
