// Profile files on Windows: UTF-16 paths, handles that refuse anything but a
// disk file, a temporary file flushed and moved over the target.
#include <windows.h>

#include <atomic>
#include <string>

#include "platform/profile_storage.h"
#include "platform/wide_text.h"

namespace tarnel::platform::profile_storage {
namespace {

class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (valid()) CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

bool WriteAll(HANDLE file, std::string_view data) {
  while (!data.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 20));
    if (!WriteFile(file, data.data(), chunk, &written, nullptr) || written == 0) return false;
    data.remove_prefix(written);
  }
  return true;
}

}  // namespace

ReadStatus ReadWhole(const std::string& path, std::string& content) {
  // A named pipe or a device opened here would not block: only disk files pass.
  Handle file(CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? ReadStatus::kMissing : ReadStatus::kError;
  }
  LARGE_INTEGER size{};
  if (GetFileType(file.get()) != FILE_TYPE_DISK || !GetFileSizeEx(file.get(), &size) ||
      size.QuadPart > static_cast<LONGLONG>(kMaxFileBytes)) {
    return ReadStatus::kError;
  }
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return ReadStatus::kError;
    if (got == 0) return ReadStatus::kOk;
    content.append(buffer, got);
    // A file that grows while it is read is held to the same bound.
    if (content.size() > kMaxFileBytes) return ReadStatus::kError;
  }
}

bool Replace(const std::string& target, std::string_view data) {
  static std::atomic<unsigned> counter{0};
  const std::wstring wideTarget = Utf8ToWide(target);
  std::wstring temporary;
  HANDLE created = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && created == INVALID_HANDLE_VALUE; ++attempt) {
    temporary =
        wideTarget + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++counter) + L".tmp";
    created = CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (created == INVALID_HANDLE_VALUE) return false;
  bool ok;
  {
    Handle file(created);
    ok = WriteAll(file.get(), data) && FlushFileBuffers(file.get());
  }
  // The new file takes its permissions from the folder, as the target did.
  ok = ok && MoveFileExW(temporary.c_str(), wideTarget.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
  if (!ok) DeleteFileW(temporary.c_str());
  return ok;
}

std::string ResolveLink(const std::string& path) {
  // Reparse points are opened through by the calls above.
  return path;
}

}  // namespace tarnel::platform::profile_storage
