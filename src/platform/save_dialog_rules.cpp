#include "platform/save_dialog_rules.h"

#include <cctype>

namespace tarnel::platform {

std::string WithDefaultExtension(const std::string& path, const std::string& extension) {
  std::string ext = extension;
  if (!ext.empty() && ext.front() == '.') ext.erase(0, 1);
  if (ext.empty()) return path;
  const auto slash = path.find_last_of('/');
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  // A leading dot marks a hidden file, not an extension.
  const auto dot = name.find_last_of('.');
  if (dot != std::string::npos && dot != 0 && dot + 1 < name.size()) return path;
  if (name.empty()) return path;
  std::string result = path;
  if (result.back() != '.') result += '.';
  return result + ext;
}

std::vector<std::string> FilterGlobs(const std::string& pattern) {
  std::vector<std::string> globs;
  std::size_t start = 0;
  while (start <= pattern.size()) {
    auto end = pattern.find(';', start);
    if (end == std::string::npos) end = pattern.size();
    std::string part = pattern.substr(start, end - start);
    while (!part.empty() && part.front() == ' ') part.erase(0, 1);
    while (!part.empty() && part.back() == ' ') part.pop_back();
    if (part == "*.*" || part == "*") {
      globs.push_back("*");
    } else if (!part.empty()) {
      std::string glob;
      for (const char c : part) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (std::isalpha(u)) {
          glob += '[';
          glob += static_cast<char>(std::tolower(u));
          glob += static_cast<char>(std::toupper(u));
          glob += ']';
        } else {
          glob += c;
        }
      }
      globs.push_back(glob);
    }
    start = end + 1;
  }
  return globs;
}

}  // namespace tarnel::platform
