// What the part file does the same way on every system: its ownership.
#include "download/part_file.h"

#include <utility>

namespace tarnel::download {

PartFile::~PartFile() { Close(); }

PartFile::PartFile(PartFile&& other) noexcept
    : handle_(std::exchange(other.handle_, -1)), path_(std::move(other.path_)), size_(std::exchange(other.size_, 0)) {}

PartFile& PartFile::operator=(PartFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, -1);
    path_ = std::move(other.path_);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

}  // namespace tarnel::download
