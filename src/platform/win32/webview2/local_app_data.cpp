#include "platform/win32/webview2/local_app_data.h"

#include <knownfolders.h>
#include <shlobj.h>

#include "platform/win32/webview2/com_string.h"

namespace tarnel::platform::win32::webview2 {

std::optional<std::wstring> LocalAppDataFolder() {
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_DEFAULT, nullptr, &path);
  // The buffer is the caller's to free even when the call fails.
  std::wstring folder = TakeComString(path);
  if (FAILED(result) || folder.empty()) return std::nullopt;
  return folder;
}

}  // namespace tarnel::platform::win32::webview2
