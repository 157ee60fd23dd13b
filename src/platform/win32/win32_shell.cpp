#include "platform/win32/win32_shell.h"

#include <iostream>

#include "platform/wide_text.h"
#include "platform/win32/com_apartment.h"
#include "platform/win32/shell_headers.h"
#include "platform/win32/shell_paths.h"

namespace tarnel::platform::win32 {
namespace {

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return path;
  std::wstring full(size, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (length == 0 || length >= size) return path;
  full.resize(length);
  return full;
}

// ShellExecuteEx without its error boxes; the process handle when asked for.
bool Execute(const wchar_t* verb, const std::wstring& file, const wchar_t* folder, DWORD extraMask, HANDLE* process) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | extraMask;
  info.lpVerb = verb;
  info.lpFile = file.c_str();
  info.lpDirectory = folder;
  info.nShow = SW_SHOWNORMAL;
  const bool ok = ShellExecuteExW(&info) != FALSE;
  if (process != nullptr) *process = ok ? info.hProcess : nullptr;
  return ok;
}

}  // namespace

std::string Win32Shell::GetDownloadsFolder() {
  PWSTR folder = nullptr;
  std::string result;
  if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_Downloads, 0, nullptr, &folder)) && folder != nullptr) {
    result = WideToUtf8(folder);
  }
  CoTaskMemFree(folder);  // also after a failure, which may hand out a buffer
  return result;
}

bool Win32Shell::OpenUrl(const std::string& url) {
  if (url.empty()) {
    std::cerr << "tarnel: refused to open an empty address\n";
    return false;
  }
  const ComApartment com;  // handlers reached through the shell may use COM
  if (!Execute(L"open", Utf8ToWide(url), nullptr, 0, nullptr)) {
    std::cerr << "tarnel: cannot open " << url << " (error " << GetLastError() << ")\n";
    return false;
  }
  return true;
}

void Win32Shell::RunElevated(const std::string& path, std::function<void()> failed) {
  const std::weak_ptr<int> alive = alive_;
  auto fail = [alive, failed = std::move(failed)] {
    if (alive.lock() && failed) failed();
  };
  if (path.empty()) {
    post_(std::move(fail));
    return;
  }
  const ComApartment com;
  const std::wstring program = FullPath(Utf8ToWide(path));
  const std::wstring folder = ParentFolder(program);
  HANDLE process = nullptr;
  // Blocks while the elevation prompt is up; returns once the program started.
  if (!Execute(L"runas", program, folder.empty() ? nullptr : folder.c_str(), SEE_MASK_NOCLOSEPROCESS, &process)) {
    const DWORD error = GetLastError();
    if (error != ERROR_CANCELLED) std::cerr << "tarnel: cannot start " << path << " (error " << error << ")\n";
    post_(std::move(fail));
    return;
  }
  // Nobody waits for the program: its handle is not needed.
  if (process != nullptr) CloseHandle(process);
}

void Win32Shell::RevealFile(const std::string& path) {
  if (path.empty()) return;
  const ComApartment com;
  const std::wstring file = FullPath(Utf8ToWide(path));
  // Only an existing file gives an item list to select.
  if (PIDLIST_ABSOLUTE item = ILCreateFromPathW(file.c_str())) {
    const HRESULT shown = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
    ILFree(item);
    if (SUCCEEDED(shown)) return;
  }
  const std::wstring folder = ParentFolder(file);
  if (folder.empty() || GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return;
  if (!Execute(L"open", folder, nullptr, 0, nullptr)) {
    std::cerr << "tarnel: cannot open the folder of " << path << " (error " << GetLastError() << ")\n";
  }
}

}  // namespace tarnel::platform::win32
