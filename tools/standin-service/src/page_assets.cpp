#include "page_assets.h"

#include <array>
#include <utility>

namespace tarnel::standin {

const PageAsset* FindPageAsset(std::string_view name) {
  for (std::size_t i = 0; i < kPageAssetCount; ++i) {
    if (name == kPageAssets[i].name) {
      return &kPageAssets[i];
    }
  }
  return nullptr;
}

std::string_view ContentTypeForName(std::string_view name) {
  static constexpr std::array<std::pair<std::string_view, std::string_view>, 10> kTypes{{
      {".html", "text/html; charset=utf-8"},
      {".css", "text/css; charset=utf-8"},
      {".js", "text/javascript; charset=utf-8"},
      {".json", "application/json"},
      {".svg", "image/svg+xml"},
      {".png", "image/png"},
      {".jpg", "image/jpeg"},
      {".webp", "image/webp"},
      {".ico", "image/x-icon"},
      {".sh", "application/x-sh"},
  }};
  for (const auto& [extension, type] : kTypes) {
    if (name.size() > extension.size() && name.ends_with(extension)) {
      return type;
    }
  }
  return "application/octet-stream";
}

}  // namespace tarnel::standin
