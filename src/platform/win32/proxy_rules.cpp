#include "platform/win32/proxy_rules.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "platform/url_rules.h"

namespace tarnel::platform::win32 {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

bool IsSeparator(char c) { return c == ';' || c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::vector<std::string_view> Entries(std::string_view list) {
  std::vector<std::string_view> entries;
  std::size_t i = 0;
  while (i < list.size()) {
    while (i < list.size() && IsSeparator(list[i])) ++i;
    const std::size_t start = i;
    while (i < list.size() && !IsSeparator(list[i])) ++i;
    if (i > start) entries.push_back(list.substr(start, i - start));
  }
  return entries;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.size() <= 5 &&
         std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

// "host[:port]" split at its port; an IPv6 host keeps its brackets.
std::pair<std::string_view, std::string_view> SplitPort(std::string_view hostPort) {
  const std::size_t close = hostPort.rfind(']');
  const std::size_t colon = hostPort.rfind(':');
  if (colon == std::string_view::npos || (close != std::string_view::npos && colon < close)) return {hostPort, {}};
  return {hostPort.substr(0, colon), hostPort.substr(colon + 1)};
}

// '*' for any run of characters, '?' for one; the texts are lower case.
bool GlobMatch(std::string_view pattern, std::string_view text) {
  std::size_t p = 0, t = 0, star = std::string_view::npos, resume = 0;
  while (t < text.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == text[t])) {
      ++p;
      ++t;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = t;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      t = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

int DefaultPort(std::string_view kind) {
  if (kind == "https") return 443;
  if (kind.starts_with("socks")) return 1080;
  return 80;
}

// One proxy list entry ("kind://host[:port]" or "host[:port]") in libcurl's
// form; `kind` is used when the entry names none.
std::string CurlProxy(std::string_view value, std::string kind) {
  if (const std::size_t scheme = value.find("://"); scheme != std::string_view::npos) {
    kind = Lower(value.substr(0, scheme));
    value = value.substr(scheme + 3);
  }
  // "socks" alone is SOCKS 4, as the system's settings mean it.
  if (kind == "socks") kind = "socks4";
  while (!value.empty() && value.back() == '/') value.remove_suffix(1);
  const auto [host, port] = SplitPort(value);
  if (host.empty()) return {};
  // libcurl's own default port would be 1080 for every kind: always name it.
  const std::string portText = AllDigits(port) ? std::string(port) : std::to_string(DefaultPort(kind));
  return kind + "://" + std::string(host) + ":" + portText;
}

}  // namespace

std::optional<ProxyTarget> ParseProxyTarget(const std::string& url) {
  // "scheme://host[:port]" in lower case, without a default port.
  const std::string origin = OriginOf(url);
  if (origin.empty()) return std::nullopt;
  const std::size_t separator = origin.find("://");
  ProxyTarget target;
  target.scheme = origin.substr(0, separator);
  const auto [host, port] = SplitPort(std::string_view(origin).substr(separator + 3));
  target.host = std::string(host);
  target.port = AllDigits(port) ? std::stoi(std::string(port)) : DefaultPort(target.scheme);
  return target;
}

std::string ProxyFromList(std::string_view list, std::string_view scheme) {
  std::string forScheme, forAll, socks;
  for (std::string_view entry : Entries(list)) {
    const std::size_t equals = entry.find('=');
    if (equals == std::string_view::npos) {
      if (forAll.empty()) forAll = CurlProxy(entry, "http");
      continue;
    }
    const std::string key = Lower(entry.substr(0, equals));
    const std::string_view value = entry.substr(equals + 1);
    if (key == scheme && forScheme.empty()) forScheme = CurlProxy(value, "http");
    if (key == "socks" && socks.empty()) socks = CurlProxy(value, "socks4");
  }
  if (!forScheme.empty()) return forScheme;
  if (!forAll.empty()) return forAll;
  return socks;
}

bool BypassesProxy(std::string_view bypass, const ProxyTarget& target) {
  for (std::string_view raw : Entries(bypass)) {
    std::string entry = Lower(raw);
    if (entry == "<local>") {
      // A plain host name: no dot, and no IPv6 address either.
      if (target.host.find('.') == std::string::npos && target.host.find(':') == std::string::npos) return true;
      continue;
    }
    std::string_view rest = entry;
    if (const std::size_t scheme = rest.find("://"); scheme != std::string_view::npos) {
      if (rest.substr(0, scheme) != target.scheme) continue;
      rest = rest.substr(scheme + 3);
    }
    const auto [host, port] = SplitPort(rest);
    if (!port.empty() && (!AllDigits(port) || std::stoi(std::string(port)) != target.port)) continue;
    if (!host.empty() && GlobMatch(host, target.host)) return true;
  }
  return false;
}

std::optional<std::string> CurlProxyFor(const std::string& url, std::string_view list, std::string_view bypass) {
  const std::optional<ProxyTarget> target = ParseProxyTarget(url);
  if (!target) return std::nullopt;
  if (BypassesProxy(bypass, *target)) return std::string();
  return ProxyFromList(list, target->scheme);
}

}  // namespace tarnel::platform::win32
