#pragma once
// Target file names of the download job. Pure functions; safe on any thread.
#include <cstddef>
#include <string>

namespace tarnel::download {

// Longest name the job gives a file, in bytes: room is left for " (99)" and
// ".part" within the 255 bytes a file system allows.
inline constexpr std::size_t kMaxNameBytes = 240;
// The name used when nothing of the URL's can name a file.
inline constexpr const char* kFallbackName = "download";

// The last segment of the URL's path, made safe as a file name: query and
// fragment dropped, control and bidirectional characters removed, characters
// that no Windows file name may hold replaced by '_', leading dots and
// spaces and trailing dots and spaces dropped, percent escapes kept as they
// are, cut at a character boundary to kMaxNameBytes (the extension kept).
// kFallbackName when nothing is left.
std::string FileNameFromUrl(const std::string& url);

// Whether the last component of a path can name a file of its own: not empty,
// not "." or "..".
bool IsUsableFilePath(const std::string& path);

// The folder, "/", then the name.
std::string JoinFolder(const std::string& folder, const std::string& name);

// "folder/name (n).ext" for "folder/name.ext"; n = 0 gives the path itself.
std::string NumberedPath(const std::string& path, int n);

}  // namespace tarnel::download
