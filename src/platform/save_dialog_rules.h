#pragma once
// How the save dialog's options read on a desktop whose file names are case
// sensitive. Pure functions; safe on any thread.
#include <string>
#include <vector>

namespace tarnel::platform {

// `path` with "." and `extension` appended when its file name has no
// extension of its own; `extension` may be given with or without its dot.
// A path whose file name already has one, and an empty extension, are kept.
std::string WithDefaultExtension(const std::string& path, const std::string& extension);

// The glob patterns of a filter: "*.exe;*.msi" gives two, "*.*" (or "*")
// gives "*" for every file, and letters match either case ("*.[eE][xX][eE]").
std::vector<std::string> FilterGlobs(const std::string& pattern);

}  // namespace tarnel::platform
