#include "support/temp_dir.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace tarnel::test {

TempDir::TempDir() {
  // A new folder with a random name; create_directory fails on one that exists.
  static std::mt19937_64 random{std::random_device{}()};
  static std::mutex mutex;
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::uint64_t suffix;
    {
      std::lock_guard lock(mutex);
      suffix = random();
    }
    auto candidate = std::filesystem::temp_directory_path() / ("tarnel-test-" + std::to_string(suffix % 1000000000));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      std::filesystem::permissions(candidate, std::filesystem::perms::owner_all, ec);
      path_ = candidate;
      return;
    }
  }
  throw std::runtime_error("cannot make a temporary folder");
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make folders that a test made read-only removable again.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (it->is_directory(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                   ec);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

}  // namespace tarnel::test
