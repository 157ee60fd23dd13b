// The part file on Windows: handles opened without following reparse points,
// moves that do not replace unless asked, data flushed before the name, and
// the file marked as downloaded from the internet.
#include <windows.h>

#include <utility>
#include <vector>

#include "download/part_file.h"
#include "download/sha256.h"
#include "platform/wide_text.h"

namespace tarnel::download {
namespace {

using platform::Utf8ToWide;

HANDLE AsHandle(std::intptr_t value) { return reinterpret_cast<HANDLE>(value); }
std::intptr_t FromHandle(HANDLE handle) { return reinterpret_cast<std::intptr_t>(handle); }

FileError ErrorOf(DWORD error) {
  if (error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL) return FileError::kDiskFull;
  if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS) return FileError::kExists;
  return FileError::kOther;
}

std::optional<FileIdentity> IdentityOf(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(handle, &info)) return std::nullopt;
  FileIdentity identity;
  identity.device = info.dwVolumeSerialNumber;
  identity.inode = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  identity.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  identity.modifiedNs = static_cast<std::int64_t>(
      ((static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime) *
      100);
  return identity;
}

bool IsPlainFile(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  return GetFileInformationByHandle(handle, &info) &&
         (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.find_last_of("/\\");
  return slash == std::string::npos ? "." : path.substr(0, slash + 1);
}

}  // namespace

int PartFile::Descriptor() const { return -1; }

FileError PartFile::CreateNew(const std::string& path, PartFile& file) {
  // CREATE_NEW fails for anything already there, a link or junction included.
  const HANDLE handle = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ErrorOf(GetLastError());
  file = PartFile();
  file.handle_ = FromHandle(handle);
  file.path_ = path;
  return FileError::kNone;
}

FileError PartFile::Reopen(const std::string& path, const FileIdentity& expected, PartFile& file) {
  const HANDLE handle = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return ErrorOf(GetLastError());
  const auto identity = IdentityOf(handle);
  LARGE_INTEGER end{};
  if (!IsPlainFile(handle) || !identity || identity->device != expected.device || identity->inode != expected.inode ||
      !SetFilePointerEx(handle, LARGE_INTEGER{}, &end, FILE_END)) {
    CloseHandle(handle);
    return FileError::kOther;
  }
  file = PartFile();
  file.handle_ = FromHandle(handle);
  file.path_ = path;
  file.size_ = static_cast<std::uint64_t>(end.QuadPart);
  return FileError::kNone;
}

bool PartFile::IsOpen() const { return handle_ != -1; }

FileError PartFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = size > (1u << 30) ? (1u << 30) : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(AsHandle(handle_), data, chunk, &written, nullptr)) return ErrorOf(GetLastError());
    data += written;
    size -= written;
    size_ += written;
  }
  return FileError::kNone;
}

FileError PartFile::Truncate() {
  if (!SetFilePointerEx(AsHandle(handle_), LARGE_INTEGER{}, nullptr, FILE_BEGIN) || !SetEndOfFile(AsHandle(handle_))) {
    return ErrorOf(GetLastError());
  }
  size_ = 0;
  return FileError::kNone;
}

FileError PartFile::ReadAll(const std::function<void(const char*, std::size_t)>& block) {
  std::vector<char> buffer(1 << 20);
  if (!SetFilePointerEx(AsHandle(handle_), LARGE_INTEGER{}, nullptr, FILE_BEGIN)) return ErrorOf(GetLastError());
  FileError result = FileError::kNone;
  while (true) {
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      result = ErrorOf(GetLastError());
      break;
    }
    if (got == 0) break;
    block(buffer.data(), got);
  }
  // Writing goes on at the end.
  if (!SetFilePointerEx(AsHandle(handle_), LARGE_INTEGER{}, nullptr, FILE_END)) return ErrorOf(GetLastError());
  return result;
}

FileError PartFile::Sync() { return FlushFileBuffers(AsHandle(handle_)) ? FileError::kNone : ErrorOf(GetLastError()); }

std::optional<FileIdentity> PartFile::Identity() const {
  if (!IsOpen()) return std::nullopt;
  return IdentityOf(AsHandle(handle_));
}

void PartFile::RecordOrigin(const std::string& url) {
  // The mark of the web, as browsers leave it: SmartScreen sees the installer
  // came from the internet before it is elevated. The stream moves with the file.
  // Only volumes with named streams have one (not FAT, nor Wine's folders,
  // where the name would make a stray file instead).
  DWORD volumeFlags = 0;
  if (!IsOpen() ||
      !GetVolumeInformationByHandleW(AsHandle(handle_), nullptr, 0, nullptr, nullptr, &volumeFlags, nullptr, 0) ||
      (volumeFlags & FILE_NAMED_STREAMS) == 0) {
    return;
  }
  // A line break in the address would add lines of its own to the stream.
  if (url.find_first_of("\r\n") != std::string::npos) return;
  const HANDLE zone = CreateFileW(Utf8ToWide(path_ + ":Zone.Identifier").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (zone == INVALID_HANDLE_VALUE) return;
  const std::string text = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=" + url + "\r\n";
  DWORD written = 0;
  WriteFile(zone, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(zone);
}

void PartFile::Close() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
}

FileError CommitPart(const std::string& partPath, const std::string& target, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (!MoveFileExW(Utf8ToWide(partPath).c_str(), Utf8ToWide(target).c_str(), flags)) return ErrorOf(GetLastError());
  return FileError::kNone;
}

void RemoveIfSame(const std::string& path, const FileIdentity& identity) {
  const HANDLE handle =
      CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                  OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  const auto found = IdentityOf(handle);
  if (IsPlainFile(handle) && found && found->device == identity.device && found->inode == identity.inode) {
    // Deleted through the handle that was checked, not by name.
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
  }
  CloseHandle(handle);
}

void RemovePath(const std::string& path) { DeleteFileW(Utf8ToWide(path).c_str()); }

bool MakeRunnableIfUnchanged(const std::string& path, const FileIdentity& identity,
                             const std::optional<std::array<std::uint8_t, 32>>& sha256) {
  // Nobody may write to it while it is checked.
  const HANDLE handle = CreateFileW(Utf8ToWide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return false;
  const auto found = IdentityOf(handle);
  bool same = IsPlainFile(handle) && found && *found == identity;
  if (same && sha256) {
    Sha256 hash;
    std::vector<char> buffer(1 << 20);
    DWORD got = 0;
    while ((same = ReadFile(handle, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) != 0) && got > 0) {
      hash.Update(buffer.data(), got);
    }
    same = same && hash.Final() == *sha256;
  }
  CloseHandle(handle);
  return same;
}

std::optional<std::uint64_t> FreeSpaceFor(const std::string& path) {
  ULARGE_INTEGER available{};
  if (!GetDiskFreeSpaceExW(Utf8ToWide(FolderOf(path)).c_str(), &available, nullptr, nullptr)) return std::nullopt;
  return available.QuadPart;
}

}  // namespace tarnel::download
