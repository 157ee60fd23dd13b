#pragma once
// A fresh folder under the system's temporary folder, removed with its content
// when the object goes.
#include <filesystem>
#include <string>

namespace tarnel::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

// Whole content of a file; empty when it cannot be read.
std::string ReadFile(const std::string& path);
// Replaces a file's content.
void WriteFile(const std::string& path, const std::string& content);

}  // namespace tarnel::test
