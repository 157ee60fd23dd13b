// Profile files on POSIX systems: descriptors opened without blocking or
// following into devices, a temporary file synced and renamed over the target.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "platform/profile_storage.h"

namespace tarnel::platform::profile_storage {
namespace {

// Permission bits for a newly created file: 0666 less the process's umask.
mode_t NewFileMode() {
  mode_t mask = 022;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.starts_with("Umask:")) {
      mask = static_cast<mode_t>(std::strtoul(line.c_str() + 6, nullptr, 8));
      break;
    }
  }
  return 0666 & ~mask;
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t written = write(fd, data.data(), data.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

void SyncFolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

}  // namespace

ReadStatus ReadWhole(const std::string& path, std::string& content) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? ReadStatus::kMissing : ReadStatus::kError;
  ReadStatus status = ReadStatus::kOk;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > static_cast<off_t>(kMaxFileBytes)) {
    status = ReadStatus::kError;
  }
  char buffer[8192];
  while (status == ReadStatus::kOk) {
    ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) status = ReadStatus::kError;
    if (got <= 0) break;
    content.append(buffer, static_cast<size_t>(got));
    // A file that grows while it is read is held to the same bound.
    if (content.size() > kMaxFileBytes) status = ReadStatus::kError;
  }
  close(fd);
  return status;
}

bool Replace(const std::string& target, std::string_view data) {
  struct stat original {};
  const bool existed = stat(target.c_str(), &original) == 0 && S_ISREG(original.st_mode);
  std::string temporary = target + ".XXXXXX";
  int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data);
  if (ok && existed && fchown(fd, original.st_uid, original.st_gid) != 0) {
    // Keeping the owner needs privileges the process may not have; the permission bits still apply.
  }
  ok = ok && fchmod(fd, existed ? original.st_mode & 07777 : NewFileMode()) == 0;
  ok = ok && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), target.c_str()) == 0;
  if (!ok) {
    unlink(temporary.c_str());
    return false;
  }
  SyncFolderOf(target);
  return true;
}

std::string ResolveLink(const std::string& path) {
  struct stat info {};
  if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

}  // namespace tarnel::platform::profile_storage
