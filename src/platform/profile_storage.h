#pragma once
// The file system side of profile files: reading a whole profile with a size
// bound, and replacing one atomically. One implementation per system.
#include <cstddef>
#include <string>
#include <string_view>

namespace tarnel::platform::profile_storage {

// Profiles are a few lines; anything larger is not one we read or rewrite.
inline constexpr std::size_t kMaxFileBytes = 64 * 1024;

enum class ReadStatus { kOk, kMissing, kError };

// Reads the whole file into content. Missing means the file or a folder on
// its path does not exist; anything else that stops the read is an error: a
// folder, FIFO or device in the file's place (opened without blocking and
// checked on the open handle) or a file larger than kMaxFileBytes.
ReadStatus ReadWhole(const std::string& path, std::string& content);

// Writes data to a temporary file beside target and renames it over target,
// keeping an existing target's permissions (and, where allowed, its owner).
// On failure the target and its folder are as they were.
bool Replace(const std::string& target, std::string_view data);

// The path to rewrite: the target of a symbolic link, the path itself otherwise.
std::string ResolveLink(const std::string& path);

}  // namespace tarnel::platform::profile_storage
