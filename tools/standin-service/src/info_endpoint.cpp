#include "info_endpoint.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "catalog.h"
#include "http_helpers.h"

namespace tarnel::standin {

InfoEndpoint::InfoEndpoint(const Catalog& catalog, std::string fallback_base)
    : catalog_(catalog), fallback_base_(std::move(fallback_base)) {}

void InfoEndpoint::Handle(const httplib::Request& request, httplib::Response& response) const {
  const auto id = ParsePackageId(request.get_param_value("id"));
  const Package* package = id ? catalog_.Find(*id) : nullptr;
  if (package == nullptr) {
    SetJsonAnswer(response, 404, {{"code", 404}});
    return;
  }
  const std::string base = RequestBaseUrl(request, fallback_base_);
  SetJsonAnswer(response, 200, {{"code", 200}, {"data", {{"name", package->name}, {"url1", PageUrl(*package, base)}}}});
}

std::string InfoEndpoint::PageUrl(const Package& package, const std::string& base) {
  if (!package.page.empty()) {
    return package.page;
  }
  return base + "/pages/" + std::to_string(package.id) + "/index.html";
}

}  // namespace tarnel::standin
