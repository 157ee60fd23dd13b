#pragma once
// The packages that the service knows: read from a JSON catalogue file, or the
// built-in demo package. Immutable once loaded; shared read-only by the
// request handlers on the server's worker threads.
#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

namespace tarnel::standin {

// File name of the generated demo installer, always served under /files/.
inline constexpr std::string_view kDemoInstallerName = "tarnel-demo-setup.sh";

struct Package {
  std::uint64_t id = 0;
  std::string name;               // display name, UTF-8
  std::string page;               // absolute http(s) page address; empty: the reference page on this service
  std::string installer;          // file name served under /files/, or an absolute http(s) address
  std::string homepage;           // absolute http(s) link that the reference page offers; may be empty
  std::string sha256;             // 64 lowercase hex digits published in package.json; empty: none
  bool sha256_from_file = false;  // "auto": the service computes `sha256` from its installer at start
};

// A catalogue that cannot be read or that breaks the format; what() says where.
class CatalogError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Catalog {
 public:
  // One package, id 1, with a non-ASCII name and the demo installer.
  static Catalog BuiltIn();
  // Validates the whole document; throws CatalogError on the first fault.
  static Catalog FromJson(const nlohmann::json& document);
  // Reads and validates a catalogue file; throws CatalogError.
  static Catalog LoadFile(const std::filesystem::path& file);

  // The package with this id, or nullptr.
  const Package* Find(std::uint64_t id) const;
  const std::vector<Package>& packages() const { return packages_; }
  // Fills in a computed checksum (before the catalogue is shared).
  void SetSha256(std::size_t index, std::string hex) { packages_.at(index).sha256 = std::move(hex); }

 private:
  std::vector<Package> packages_;
};

// "http://" or "https://" followed by a host: the only links the catalogue accepts.
bool IsAbsoluteHttpUrl(std::string_view text);
// A single path segment that is safe to look up in a folder: not empty, no
// slash, backslash or control character, not starting with a dot.
bool IsPlainFileName(std::string_view text);

}  // namespace tarnel::standin
