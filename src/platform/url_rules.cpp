#include "platform/url_rules.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace tarnel::platform {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

bool HasControlOrSpace(std::string_view text) {
  return std::any_of(text.begin(), text.end(), [](unsigned char c) { return c <= 0x20 || c == 0x7F; });
}

// The scheme in lower case when `url` starts with one ("x:"), else empty.
std::string SchemeOf(std::string_view url, std::size_t& rest) {
  const auto colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0) return {};
  if (!std::isalpha(static_cast<unsigned char>(url[0]))) return {};
  for (std::size_t i = 1; i < colon; ++i) {
    const unsigned char c = static_cast<unsigned char>(url[i]);
    if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') return {};
  }
  rest = colon + 1;
  return Lower(url.substr(0, colon));
}

bool IsHostCharacter(unsigned char c) {
  return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || c == '%';
}

}  // namespace

std::string OriginOf(const std::string& url) {
  if (HasControlOrSpace(url)) return {};
  std::size_t pos = 0;
  const std::string scheme = SchemeOf(url, pos);
  if (scheme != "http" && scheme != "https") return {};
  const std::string_view view(url);
  if (view.substr(pos, 2) != "//") return {};
  pos += 2;
  const auto end = view.find_first_of("/?#\\", pos);
  std::string_view authority = view.substr(pos, end == std::string_view::npos ? view.npos : end - pos);
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);

  std::string_view host;
  std::string_view port;
  if (!authority.empty() && authority.front() == '[') {
    const auto close = authority.find(']');
    if (close == std::string_view::npos || close == 1) return {};
    host = authority.substr(0, close + 1);
    const auto after = authority.substr(close + 1);
    if (!after.empty()) {
      if (after.front() != ':') return {};
      port = after.substr(1);
    }
    const auto inner = host.substr(1, host.size() - 2);
    if (!std::all_of(inner.begin(), inner.end(),
                     [](unsigned char c) { return std::isxdigit(c) || c == ':' || c == '.'; })) {
      return {};
    }
  } else {
    const auto colon = authority.find(':');
    host = authority.substr(0, colon);
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    if (!std::all_of(host.begin(), host.end(), [](unsigned char c) { return IsHostCharacter(c); })) return {};
  }
  if (host.empty()) return {};

  if (port.size() > 5 || !std::all_of(port.begin(), port.end(), [](unsigned char c) { return std::isdigit(c); })) {
    return {};
  }
  std::string origin = scheme + "://" + Lower(host);
  if (!port.empty()) {
    const long number = std::stol(std::string(port));
    if (number > 65535) return {};
    const long defaultPort = scheme == "http" ? 80 : 443;
    if (number != defaultPort) origin += ":" + std::to_string(number);
  }
  return origin;
}

bool IsWebUrl(const std::string& url) { return !OriginOf(url).empty(); }

bool IsLoopbackUrl(const std::string& url) {
  const std::string origin = OriginOf(url);
  if (origin.empty()) return false;
  std::string host = origin.substr(origin.find("://") + 3);
  if (host.front() == '[') {
    host = host.substr(0, host.find(']') + 1);
    return host == "[::1]";
  }
  host = host.substr(0, host.find(':'));
  if (host == "localhost") return true;
  // 127.0.0.0/8 in dotted decimal: four numbers, the first 127.
  int parts = 0;
  std::size_t start = 0;
  while (start <= host.size()) {
    const auto dot = host.find('.', start);
    const std::string_view part = std::string_view(host).substr(start, dot == std::string::npos ? dot : dot - start);
    if (part.empty() || part.size() > 3 ||
        !std::all_of(part.begin(), part.end(), [](unsigned char c) { return std::isdigit(c); }) ||
        std::stoi(std::string(part)) > 255) {
      return false;
    }
    if (parts == 0 && part != "127") return false;
    ++parts;
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return parts == 4;
}

bool IsTrustedTransport(const std::string& url) {
  const std::string origin = OriginOf(url);
  return origin.rfind("https://", 0) == 0 || (origin.rfind("http://", 0) == 0 && IsLoopbackUrl(url));
}

bool IsOpenableUrl(const std::string& url) {
  if (IsWebUrl(url)) return true;
  if (HasControlOrSpace(url)) return false;
  std::size_t rest = 0;
  if (SchemeOf(url, rest) != "mailto") return false;
  // An address part must follow; "mailto:" alone or only headers opens nothing useful.
  return rest < url.size() && url[rest] != '?';
}

std::string WithoutMailAttachments(const std::string& url) {
  std::size_t rest = 0;
  if (SchemeOf(url, rest) != "mailto") return url;
  const auto question = url.find('?', rest);
  if (question == std::string::npos) return url;
  std::string kept = url.substr(0, question);
  char separator = '?';
  std::string_view query = std::string_view(url).substr(question + 1);
  while (true) {
    const auto amp = query.find('&');
    const std::string_view field = query.substr(0, amp);
    const std::string name = Lower(field.substr(0, field.find('=')));
    // A mail client would attach a local file the page names.
    if (name != "attach" && name != "attachment" && !field.empty()) {
      kept += separator;
      kept += field;
      separator = '&';
    }
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return kept;
}

}  // namespace tarnel::platform
