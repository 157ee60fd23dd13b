#include "platform/win32/webview2/webview2_policy.h"

#include "platform/url_rules.h"

namespace tarnel::platform::win32::webview2 {

bool AcceptsMessageFrom(const std::string& source, const std::string& trusted_origin) {
  return !trusted_origin.empty() && OriginOf(source) == trusted_origin;
}

NavigationDecision DecideNavigation(const std::string& uri, const std::string& trusted_origin, bool user_initiated) {
  NavigationDecision decision;
  if (!trusted_origin.empty() && OriginOf(uri) == trusted_origin) return decision;
  decision.cancel = true;
  if (user_initiated && IsWebUrl(uri)) decision.open_outside = uri;
  return decision;
}

std::optional<std::string> NewWindowTarget(const std::string& uri) {
  if (!IsWebUrl(uri)) return std::nullopt;
  return uri;
}

}  // namespace tarnel::platform::win32::webview2
