#include "platform/win32/webview2/local_app_data.h"

#include <knownfolders.h>
#include <shlobj.h>

#include "platform/win32/webview2/com_string.h"

namespace tarnel::platform::win32::webview2 {
namespace {

std::optional<std::wstring> KnownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  const HRESULT result = SHGetKnownFolderPath(id, KF_FLAG_DEFAULT, nullptr, &path);
  // The buffer is the caller's to free even when the call fails.
  std::wstring folder = TakeComString(path);
  if (FAILED(result) || folder.empty()) return std::nullopt;
  return folder;
}

}  // namespace

std::optional<std::wstring> LocalAppDataFolder() { return KnownFolder(FOLDERID_LocalAppData); }

std::optional<std::wstring> ProgramFilesX86Folder() { return KnownFolder(FOLDERID_ProgramFilesX86); }

}  // namespace tarnel::platform::win32::webview2
