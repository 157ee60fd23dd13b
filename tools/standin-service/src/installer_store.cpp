#include "installer_store.h"

#include "catalog.h"
#include "demo_installer.h"
#include "disk_installer_file.h"

namespace tarnel::standin {

InstallerStore::InstallerStore(std::filesystem::path folder, std::uint64_t demo_size)
    : folder_(std::move(folder)), demo_size_(demo_size) {}

std::unique_ptr<InstallerFile> InstallerStore::Open(std::string_view name) const {
  if (!IsPlainFileName(name)) {
    return nullptr;
  }
  // A file of the same name in the folder takes the place of the demo.
  if (!folder_.empty()) {
    if (auto file = DiskInstallerFile::Open(folder_ / std::filesystem::path(name))) {
      return file;
    }
  }
  if (name == kDemoInstallerName) {
    return std::make_unique<DemoInstaller>(demo_size_);
  }
  return nullptr;
}

}  // namespace tarnel::standin
