#include "download/file_name.h"

namespace tarnel::download {

std::string FileNameFromUrl(const std::string& url) {
  const auto slash = url.rfind('/');
  if (slash == std::string::npos) return std::string();
  return url.substr(slash + 1);
}

bool IsUsableFilePath(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return !name.empty() && name != "." && name != "..";
}

std::string JoinFolder(const std::string& folder, const std::string& name) { return folder + "/" + name; }

}  // namespace tarnel::download
