#pragma once
// Target file names of the download job.
#include <string>

namespace tarnel::download {

// Everything after the last "/" of the URL: query and fragment included,
// nothing decoded. Empty when the URL ends in "/" or has none.
std::string FileNameFromUrl(const std::string& url);

// Whether the last component of a path can name a file of its own: not empty,
// not "." or "..".
bool IsUsableFilePath(const std::string& path);

// The folder, "/", then the name.
std::string JoinFolder(const std::string& folder, const std::string& name);

}  // namespace tarnel::download
