#include "catalog.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "file_digest.h"

namespace tarnel::standin {
namespace {

using nlohmann::json;

const std::set<std::string, std::less<>> kPackageKeys{"id", "name", "page", "installer", "homepage", "sha256"};

[[noreturn]] void Fail(const std::string& where, const std::string& what) { throw CatalogError(where + ": " + what); }

std::string OptionalString(const json& entry, const char* key, const std::string& where) {
  if (!entry.contains(key)) {
    return {};
  }
  if (!entry[key].is_string()) {
    Fail(where, std::string("\"") + key + "\" must be a string");
  }
  return entry[key].get<std::string>();
}

std::string OptionalUrl(const json& entry, const char* key, const std::string& where) {
  std::string url = OptionalString(entry, key, where);
  if (!url.empty() && !IsAbsoluteHttpUrl(url)) {
    Fail(where, std::string("\"") + key + "\" must be an absolute http:// or https:// address");
  }
  return url;
}

Package ParsePackage(const json& entry, const std::string& where) {
  if (!entry.is_object()) {
    Fail(where, "must be an object");
  }
  for (const auto& [key, value] : entry.items()) {
    // Keys starting with "_" are free for the catalogue's own notes.
    if (!key.starts_with('_') && !kPackageKeys.contains(key)) {
      Fail(where, "unknown key \"" + key + "\"");
    }
  }
  Package package;
  if (!entry.contains("id") || !entry["id"].is_number_unsigned()) {
    Fail(where, "\"id\" must be a non-negative integer");
  }
  package.id = entry["id"].get<std::uint64_t>();
  if (!entry.contains("name") || !entry["name"].is_string() || entry["name"].get<std::string>().empty()) {
    Fail(where, "\"name\" must be a non-empty string");
  }
  package.name = entry["name"].get<std::string>();
  package.page = OptionalUrl(entry, "page", where);
  package.homepage = OptionalUrl(entry, "homepage", where);
  package.installer = OptionalString(entry, "installer", where);
  if (package.installer.empty()) {
    package.installer = std::string(kDemoInstallerName);
  } else if (!IsAbsoluteHttpUrl(package.installer) && !IsPlainFileName(package.installer)) {
    Fail(where, "\"installer\" must be a file name without folders or an absolute http(s) address");
  }
  const std::string sha256 = OptionalString(entry, "sha256", where);
  if (sha256 == "auto") {
    if (IsAbsoluteHttpUrl(package.installer)) {
      Fail(where, "\"sha256\": \"auto\" needs an installer served by this service");
    }
    package.sha256_from_file = true;
  } else if (entry.contains("sha256")) {
    if (!IsSha256Hex(sha256)) {
      Fail(where, "\"sha256\" must be 64 hex digits or \"auto\"");
    }
    std::transform(sha256.begin(), sha256.end(), std::back_inserter(package.sha256),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  }
  return package;
}

}  // namespace

Catalog Catalog::BuiltIn() {
  Catalog catalog;
  Package demo;
  demo.id = 1;
  demo.name = "Tarnel 演示安装包";
  demo.installer = std::string(kDemoInstallerName);
  demo.homepage = "https://example.com/";
  demo.sha256_from_file = true;
  catalog.packages_.push_back(std::move(demo));
  return catalog;
}

Catalog Catalog::FromJson(const json& document) {
  if (!document.is_object()) {
    throw CatalogError("the catalogue must be a JSON object");
  }
  if (!document.contains("packages") || !document["packages"].is_array()) {
    throw CatalogError("the catalogue needs a \"packages\" array");
  }
  Catalog catalog;
  std::set<std::uint64_t> ids;
  const json& packages = document["packages"];
  for (std::size_t i = 0; i < packages.size(); ++i) {
    const std::string where = "packages[" + std::to_string(i) + "]";
    Package package = ParsePackage(packages[i], where);
    if (!ids.insert(package.id).second) {
      Fail(where, "id " + std::to_string(package.id) + " appears more than once");
    }
    catalog.packages_.push_back(std::move(package));
  }
  return catalog;
}

Catalog Catalog::LoadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) {
    throw CatalogError("cannot read catalogue " + file.string());
  }
  std::ostringstream text;
  text << in.rdbuf();
  json document = json::parse(text.str(), nullptr, /*allow_exceptions=*/false);
  if (document.is_discarded()) {
    throw CatalogError("catalogue " + file.string() + " is not valid JSON");
  }
  try {
    return FromJson(document);
  } catch (const CatalogError& error) {
    throw CatalogError("catalogue " + file.string() + ": " + error.what());
  }
}

const Package* Catalog::Find(std::uint64_t id) const {
  auto it = std::find_if(packages_.begin(), packages_.end(), [id](const Package& p) { return p.id == id; });
  return it == packages_.end() ? nullptr : &*it;
}

bool IsAbsoluteHttpUrl(std::string_view text) {
  std::string_view rest;
  if (text.starts_with("http://")) {
    rest = text.substr(7);
  } else if (text.starts_with("https://")) {
    rest = text.substr(8);
  } else {
    return false;
  }
  if (rest.empty() || rest.front() == '/') {
    return false;
  }
  return std::none_of(text.begin(), text.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7f; });
}

bool IsPlainFileName(std::string_view text) {
  if (text.empty() || text.front() == '.') {
    return false;
  }
  return std::none_of(text.begin(), text.end(),
                      [](unsigned char c) { return c < 0x20 || c == 0x7f || c == '/' || c == '\\'; });
}

}  // namespace tarnel::standin
