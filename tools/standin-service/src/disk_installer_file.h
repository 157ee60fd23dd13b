#pragma once
// An installer file from the --files folder, read through its own stream.
#include <filesystem>
#include <fstream>
#include <memory>

#include "installer_file.h"

namespace tarnel::standin {

class DiskInstallerFile : public InstallerFile {
 public:
  // nullptr when the path is not a readable regular file.
  static std::unique_ptr<DiskInstallerFile> Open(const std::filesystem::path& path);

  std::uint64_t size() const override { return size_; }
  std::size_t Read(std::uint64_t offset, char* out, std::size_t length) override;
  // Inode and modification time (nanoseconds) as of opening, in hex.
  std::string version() const override { return version_; }

 private:
  DiskInstallerFile(std::ifstream stream, std::uint64_t size, std::string version);

  std::ifstream stream_;
  std::uint64_t size_;
  std::string version_;
};

}  // namespace tarnel::standin
