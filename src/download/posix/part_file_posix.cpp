// The part file on POSIX systems: descriptors opened without following links,
// renameat2 without replacing, fsync of data and folder.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <utility>
#include <vector>

#include "download/part_file.h"
#include "download/sha256.h"

namespace tarnel::download {
namespace {

constexpr std::uint64_t kWritebackChunk = std::uint64_t{16} << 20;

FileError ErrorOf(int error) {
  if (error == ENOSPC || error == EDQUOT) return FileError::kDiskFull;
  if (error == EEXIST) return FileError::kExists;
  return FileError::kOther;
}

FileIdentity IdentityOf(const struct stat& info) {
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino),
                      static_cast<std::uint64_t>(info.st_size),
                      static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

std::string FolderOf(const std::string& path) {
  const auto slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

void SyncFolder(const std::string& path) {
  const int folder = open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder < 0) return;
  fsync(folder);
  close(folder);
}

}  // namespace

FileError PartFile::CreateNew(const std::string& path, PartFile& file) {
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (fd < 0) return ErrorOf(errno);
  file = PartFile();
  file.handle_ = fd;
  file.path_ = path;
  file.size_ = 0;
  return FileError::kNone;
}

FileError PartFile::Reopen(const std::string& path, const FileIdentity& expected, PartFile& file) {
  const int fd = open(path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return ErrorOf(errno);
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_dev) != expected.device ||
      static_cast<std::uint64_t>(info.st_ino) != expected.inode) {
    close(fd);
    return FileError::kOther;
  }
  if (lseek(fd, 0, SEEK_END) < 0) {
    close(fd);
    return FileError::kOther;
  }
  file = PartFile();
  file.handle_ = fd;
  file.path_ = path;
  file.size_ = static_cast<std::uint64_t>(info.st_size);
  return FileError::kNone;
}

int PartFile::Descriptor() const { return static_cast<int>(handle_); }

bool PartFile::IsOpen() const { return handle_ >= 0; }

FileError PartFile::Write(const char* data, std::size_t size) {
  const std::uint64_t before = size_;
  while (size > 0) {
    const ssize_t written = write(Descriptor(), data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return ErrorOf(errno);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
    size_ += static_cast<std::uint64_t>(written);
  }
  // Each completed chunk starts its writeback now, so the sync before the
  // rename has little left to wait for.
  if (size_ / kWritebackChunk != before / kWritebackChunk) {
    const std::uint64_t chunkEnd = size_ / kWritebackChunk * kWritebackChunk;
    sync_file_range(Descriptor(), static_cast<off_t>(chunkEnd - kWritebackChunk), static_cast<off_t>(kWritebackChunk),
                    SYNC_FILE_RANGE_WRITE);
  }
  return FileError::kNone;
}

FileError PartFile::Truncate() {
  if (ftruncate(Descriptor(), 0) != 0 || lseek(Descriptor(), 0, SEEK_SET) < 0) return ErrorOf(errno);
  size_ = 0;
  return FileError::kNone;
}

FileError PartFile::ReadAll(const std::function<void(const char*, std::size_t)>& block) {
  std::vector<char> buffer(1 << 20);
  off_t offset = 0;
  while (true) {
    const ssize_t n = pread(Descriptor(), buffer.data(), buffer.size(), offset);
    if (n < 0) {
      if (errno == EINTR) continue;
      return ErrorOf(errno);
    }
    if (n == 0) return FileError::kNone;
    block(buffer.data(), static_cast<std::size_t>(n));
    offset += n;
  }
}

FileError PartFile::Sync() { return fsync(Descriptor()) == 0 ? FileError::kNone : ErrorOf(errno); }

std::optional<FileIdentity> PartFile::Identity() const {
  struct stat info {};
  if (Descriptor() < 0 || fstat(Descriptor(), &info) != 0) return std::nullopt;
  return IdentityOf(info);
}

void PartFile::RecordOrigin(const std::string& url) {
  // Not every file system takes user attributes; the download is fine without.
  fsetxattr(Descriptor(), "user.xdg.origin.url", url.data(), url.size(), 0);
}

void PartFile::Close() {
  if (handle_ >= 0) close(Descriptor());
  handle_ = -1;
}

FileError CommitPart(const std::string& partPath, const std::string& target, bool replace) {
  if (replace) {
    if (std::rename(partPath.c_str(), target.c_str()) != 0) return ErrorOf(errno);
  } else if (renameat2(AT_FDCWD, partPath.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS) return ErrorOf(errno);
    // A file system without the flag: a hard link cannot replace either.
    if (link(partPath.c_str(), target.c_str()) != 0) return ErrorOf(errno);
    unlink(partPath.c_str());
  }
  SyncFolder(target);
  return FileError::kNone;
}

void RemoveIfSame(const std::string& path, const FileIdentity& identity) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return;
  if (static_cast<std::uint64_t>(info.st_dev) != identity.device ||
      static_cast<std::uint64_t>(info.st_ino) != identity.inode) {
    return;
  }
  unlink(path.c_str());
}

void RemovePath(const std::string& path) { unlink(path.c_str()); }

bool MakeRunnableIfUnchanged(const std::string& path, const FileIdentity& identity,
                             const std::optional<std::array<std::uint8_t, 32>>& sha256) {
  const int fd = open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool same = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && IdentityOf(info) == identity;
  if (same && sha256) {
    Sha256 hash;
    std::vector<char> buffer(1 << 20);
    ssize_t got = 0;
    while ((got = read(fd, buffer.data(), buffer.size())) > 0)
      hash.Update(buffer.data(), static_cast<std::size_t>(got));
    same = got == 0 && hash.Final() == *sha256;
  }
  if (same && (info.st_mode & S_IXUSR) == 0) same = fchmod(fd, info.st_mode | S_IXUSR) == 0;
  close(fd);
  return same;
}

std::optional<std::uint64_t> FreeSpaceFor(const std::string& path) {
  struct statvfs info {};
  if (statvfs(FolderOf(path).c_str(), &info) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

}  // namespace tarnel::download
