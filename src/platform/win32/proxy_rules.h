#pragma once
// WinHTTP's proxy answers as libcurl takes them. Pure functions; safe on any
// thread.
//
// A proxy list holds entries separated by ';' or white space, each
// "[scheme=][kind://]host[:port]": "proxy:8080", "http=a:80;https=b:443",
// "socks=s:1080". A bypass list holds host patterns separated the same way:
// "<local>" (host names without a dot), "*.example.com", "10.*", each
// optionally with "scheme://" before and ":port" after.
#include <optional>
#include <string>
#include <string_view>

namespace tarnel::platform::win32 {

// What proxy rules look at in an http(s) URL.
struct ProxyTarget {
  std::string scheme;  // lower case
  std::string host;    // lower case; IPv6 in brackets
  int port = 0;        // the scheme's default when the URL has none
};

// Nothing for anything but an absolute http or https URL with a host.
std::optional<ProxyTarget> ParseProxyTarget(const std::string& url);

// The proxy of `list` for URLs of `scheme`, in libcurl's form
// ("http://host:port", "socks4://host:port"): an entry for that scheme
// first, else an entry for every scheme, else a SOCKS entry; "" when none
// applies (a direct connection).
std::string ProxyFromList(std::string_view list, std::string_view scheme);

// Whether `bypass` exempts the target from every proxy.
bool BypassesProxy(std::string_view bypass, const ProxyTarget& target);

// A named proxy's answer for `url`: "" (direct) when the bypass list
// exempts it or no entry applies; nothing when `url` is no http(s) URL.
std::optional<std::string> CurlProxyFor(const std::string& url, std::string_view list, std::string_view bypass);

}  // namespace tarnel::platform::win32
