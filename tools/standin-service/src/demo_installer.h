#pragma once
// The built-in demo installer: a short POSIX shell script that prints one line
// and exits 0, padded with comment lines to the requested size. Its bytes are
// computed on demand, so even sizes above 4 GiB cost no memory.
#include <cstdint>
#include <string>
#include <string_view>

#include "installer_file.h"

namespace tarnel::standin {

class DemoInstaller : public InstallerFile {
 public:
  // `requested_size` is raised to the script's own length when it is smaller.
  explicit DemoInstaller(std::uint64_t requested_size);

  std::uint64_t size() const override { return size_; }
  std::size_t Read(std::uint64_t offset, char* out, std::size_t length) override;
  // The bytes follow from the size alone.
  std::string version() const override { return "demo"; }

  // The script without its padding.
  static std::string_view Script();

 private:
  std::uint64_t size_;
};

}  // namespace tarnel::standin
