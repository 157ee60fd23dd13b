#include "http_helpers.h"

#include <algorithm>
#include <charconv>

#include <httplib.h>
#include <nlohmann/json.hpp>

namespace tarnel::standin {

std::optional<std::uint64_t> ParsePackageId(std::string_view text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::string ListenBaseUrl(const std::string& bind_address, int port) {
  std::string host = bind_address;
  if (host.empty() || host == "0.0.0.0") {
    host = "127.0.0.1";
  } else if (host == "::" || host == "[::]") {
    host = "::1";
  }
  if (host.find(':') != std::string::npos && host.front() != '[') {
    host = "[" + host + "]";
  }
  return "http://" + host + ":" + std::to_string(port);
}

std::string RequestBaseUrl(const httplib::Request& request, const std::string& fallback) {
  const std::string host = request.get_header_value("Host");
  const bool plain = !host.empty() && host.size() <= 255 && std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
           c == ':' || c == '[' || c == ']';
  });
  return plain ? "http://" + host : fallback;
}

std::string EncodePathSegment(std::string_view segment) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : segment) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
        c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

void SetJsonAnswer(httplib::Response& response, int status, const nlohmann::json& body) {
  response.status = status;
  response.set_content(body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace), "application/json");
}

}  // namespace tarnel::standin
