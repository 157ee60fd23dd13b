#include "disk_installer_file.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace tarnel::standin {

std::unique_ptr<DiskInstallerFile> DiskInstallerFile::Open(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return nullptr;
  }
  const std::uint64_t size = std::filesystem::file_size(path, error);
  if (error) {
    return nullptr;
  }
  std::ifstream stream(path, std::ios::binary);
  if (!stream) {
    return nullptr;
  }
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    return nullptr;
  }
  char version[64];
  std::snprintf(version, sizeof version, "%llx-%llx.%llx", static_cast<unsigned long long>(info.st_ino),
                static_cast<unsigned long long>(info.st_mtim.tv_sec),
                static_cast<unsigned long long>(info.st_mtim.tv_nsec));
  return std::unique_ptr<DiskInstallerFile>(new DiskInstallerFile(std::move(stream), size, version));
}

DiskInstallerFile::DiskInstallerFile(std::ifstream stream, std::uint64_t size, std::string version)
    : stream_(std::move(stream)), size_(size), version_(std::move(version)) {}

std::size_t DiskInstallerFile::Read(std::uint64_t offset, char* out, std::size_t length) {
  if (offset >= size_) {
    return 0;
  }
  length = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
  stream_.clear();
  stream_.seekg(static_cast<std::streamoff>(offset));
  stream_.read(out, static_cast<std::streamsize>(length));
  return static_cast<std::size_t>(std::max<std::streamsize>(stream_.gcount(), 0));
}

}  // namespace tarnel::standin
