#pragma once
// The reference page's files, compiled into the executable from the page
// folder at build time (see cmake/embed_page.cmake).
#include <cstddef>
#include <string_view>

namespace tarnel::standin {

struct PageAsset {
  const char* name;            // file name inside the page folder, e.g. "page.js"
  const unsigned char* bytes;  // the file's content
  std::size_t size;            // its length in bytes
};

extern const PageAsset kPageAssets[];
extern const std::size_t kPageAssetCount;

// The asset with this file name, or nullptr.
const PageAsset* FindPageAsset(std::string_view name);

// Content type for a file name, by its extension ("text/html; charset=utf-8",
// "text/css; charset=utf-8", ...); "application/octet-stream" when unknown.
std::string_view ContentTypeForName(std::string_view name);

}  // namespace tarnel::standin
