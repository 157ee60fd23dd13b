#include "page_endpoint.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "bridge/protocol.h"
#include "catalog.h"
#include "http_helpers.h"
#include "info_endpoint.h"
#include "page_assets.h"

namespace tarnel::standin {
namespace {

std::string EscapeHtml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

void NotFound(httplib::Response& response) {
  response.status = 404;
  response.set_content("not found\n", "text/plain");
}

}  // namespace

PageEndpoint::PageEndpoint(const Catalog& catalog, std::string fallback_base)
    : catalog_(catalog), fallback_base_(std::move(fallback_base)) {}

void PageEndpoint::HandlePage(const httplib::Request& request, httplib::Response& response) const {
  const auto id = ParsePackageId(request.matches[1].str());
  const Package* package = id ? catalog_.Find(*id) : nullptr;
  if (package == nullptr) {
    NotFound(response);
    return;
  }
  const std::string rest = request.matches[2].str();
  if (rest.empty()) {
    response.set_redirect("/pages/" + std::to_string(package->id) + "/", 301);
    return;
  }
  const std::string name = rest == "/" ? "index.html" : rest.substr(1);
  // The page may change between service versions; never let it go stale.
  response.set_header("Cache-Control", "no-cache");
  if (name == "package.json") {
    response.set_content(PackageJson(*package, RequestBaseUrl(request, fallback_base_)), "application/json");
    return;
  }
  const PageAsset* asset = IsPlainFileName(name) ? FindPageAsset(name) : nullptr;
  if (asset == nullptr) {
    NotFound(response);
    return;
  }
  response.set_content(reinterpret_cast<const char*>(asset->bytes), asset->size, std::string(ContentTypeForName(name)));
}

void PageEndpoint::HandleIndex(const httplib::Request& request, httplib::Response& response) const {
  const std::string base = RequestBaseUrl(request, fallback_base_);
  std::string html =
      "<!doctype html><meta charset=\"utf-8\"><title>tarnel-service</title>"
      "<h1>tarnel-service</h1><p>Stand-in download service. Packages:</p><ul>";
  for (const Package& package : catalog_.packages()) {
    const std::string id = std::to_string(package.id);
    const std::string info = std::string(protocol::kInfoPath) + "?id=" + id;
    html += "<li>" + id + ": " + EscapeHtml(package.name) + " &mdash; <a href=\"" + info + "\">info</a>, <a href=\"" +
            EscapeHtml(InfoEndpoint::PageUrl(package, base)) + "\">page</a></li>";
  }
  html += "</ul>\n";
  response.set_content(html, "text/html; charset=utf-8");
}

std::string PageEndpoint::PackageJson(const Package& package, const std::string& base) {
  const std::string installer = IsAbsoluteHttpUrl(package.installer)
                                    ? package.installer
                                    : base + "/files/" + EncodePathSegment(package.installer);
  nlohmann::json body{
      {"id", package.id}, {"name", package.name}, {"installer_url", installer}, {"homepage", package.homepage}};
  if (!package.sha256.empty()) {
    body["sha256"] = package.sha256;
  }
  return body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace tarnel::standin
