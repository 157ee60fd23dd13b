#pragma once
// The reference page of every package at /pages/<id>/, its package.json and a
// small index at "/". Runs on the server's worker threads; reads only
// immutable data.
#include <string>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace tarnel::standin {

class Catalog;
struct Package;

class PageEndpoint {
 public:
  PageEndpoint(const Catalog& catalog, std::string fallback_base);

  // Route /pages/(\d+)(/.*)? : "/pages/N" redirects to "/pages/N/"; "/" and
  // "/index.html" give the page; "/package.json" the package's data; other
  // names the page's other files. 404 for unknown packages and files.
  void HandlePage(const httplib::Request& request, httplib::Response& response) const;
  // Route "/": an HTML list of the known packages with their addresses.
  void HandleIndex(const httplib::Request& request, httplib::Response& response) const;

  // {"id":N,"name":..,"installer_url":..,"homepage":..} as the page reads it,
  // with "sha256" (64 lowercase hex digits) when the package has one;
  // "installer_url" is absolute, a file name resolved under `base`/files/.
  static std::string PackageJson(const Package& package, const std::string& base);

 private:
  const Catalog& catalog_;
  std::string fallback_base_;
};

}  // namespace tarnel::standin
