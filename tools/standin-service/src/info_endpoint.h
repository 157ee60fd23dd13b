#pragma once
// GET /downloader.php/index/info?id=N: the package's name and page address.
// Runs on the server's worker threads; reads only immutable data.
#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace tarnel::standin {

class Catalog;
struct Package;

class InfoEndpoint {
 public:
  // `fallback_base` is the service's own address for requests without a usable Host header.
  InfoEndpoint(const Catalog& catalog, std::string fallback_base);

  // {"code":200,"data":{"name":..,"url1":..}} for a known id; {"code":404}
  // (HTTP 404) for an unknown, missing or malformed id.
  void Handle(const httplib::Request& request, httplib::Response& response) const;

  // The page address given for a package: its own "page", or the reference
  // page on this service under `base`.
  static std::string PageUrl(const Package& package, const std::string& base);

 private:
  const Catalog& catalog_;
  std::string fallback_base_;
};

}  // namespace tarnel::standin
