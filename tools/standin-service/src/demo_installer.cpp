#include "demo_installer.h"

#include <algorithm>

namespace tarnel::standin {
namespace {

constexpr std::string_view kScript =
    "#!/bin/sh\n"
    "# Demo installer served by tarnel-service. It installs nothing.\n"
    "echo \"Tarnel demo installer: nothing to install, all done.\"\n"
    "exit 0\n"
    "# The lines below only pad the file so that a download takes a moment.\n";

// One padding line, 64 bytes with its line break.
constexpr std::string_view kPadding = "# .............................................................\n";
static_assert(kPadding.size() == 64);

char ByteAt(std::uint64_t offset, std::uint64_t size) {
  if (offset < kScript.size()) {
    return kScript[offset];
  }
  if (offset + 1 == size) {
    return '\n';  // the file always ends with a complete line
  }
  return kPadding[(offset - kScript.size()) % kPadding.size()];
}

}  // namespace

DemoInstaller::DemoInstaller(std::uint64_t requested_size)
    : size_(std::max<std::uint64_t>(requested_size, kScript.size())) {}

std::string_view DemoInstaller::Script() { return kScript; }

std::size_t DemoInstaller::Read(std::uint64_t offset, char* out, std::size_t length) {
  if (offset >= size_) {
    return 0;
  }
  const auto count = static_cast<std::size_t>(std::min<std::uint64_t>(length, size_ - offset));
  for (std::size_t i = 0; i < count; ++i) {
    out[i] = ByteAt(offset + i, size_);
  }
  return count;
}

}  // namespace tarnel::standin
