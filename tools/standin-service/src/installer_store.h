#pragma once
// Finds the installer files served under /files/<name>: the generated demo
// installer and, when a folder is given, the regular files in that folder.
// Immutable after construction; safe to use from every worker thread.
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string_view>

#include "installer_file.h"

namespace tarnel::standin {

class InstallerStore {
 public:
  // `folder` may be empty (demo installer only). The folder is not checked here.
  InstallerStore(std::filesystem::path folder, std::uint64_t demo_size);

  // A fresh reader for the named file, or nullptr when there is none. Names
  // with folders, leading dots or control characters never match.
  std::unique_ptr<InstallerFile> Open(std::string_view name) const;

 private:
  std::filesystem::path folder_;
  std::uint64_t demo_size_;
};

}  // namespace tarnel::standin
