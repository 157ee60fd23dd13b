#pragma once
// Small helpers that the service's endpoints share: reading ids, building the
// service's own addresses and writing JSON answers.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace tarnel::standin {

// A package id written as decimal digits only (no sign, no blanks), that fits
// 64 bits unsigned; nothing otherwise.
std::optional<std::uint64_t> ParsePackageId(std::string_view text);

// "http://address:port" for a listening address; an any-address (0.0.0.0, ::)
// becomes the matching loopback address, IPv6 addresses get brackets.
std::string ListenBaseUrl(const std::string& bind_address, int port);

// "http://" plus the request's Host header when that is a plain host[:port];
// `fallback` (a ListenBaseUrl) when the header is missing or holds anything else.
std::string RequestBaseUrl(const httplib::Request& request, const std::string& fallback);

// Percent-encodes every byte outside A-Z a-z 0-9 - . _ ~ for use as a path segment.
std::string EncodePathSegment(std::string_view segment);

// Sets the status and an application/json body (compact, UTF-8).
void SetJsonAnswer(httplib::Response& response, int status, const nlohmann::json& body);

}  // namespace tarnel::standin
