#pragma once
// What the host lets the page do: pure rules over addresses, shared by the
// view's event handlers and the tests.
#include <optional>
#include <string>

namespace tarnel::platform::win32::webview2 {

// A page message is taken only from a document of the trusted origin; an
// empty trusted origin (nothing navigated yet) trusts nothing.
bool AcceptsMessageFrom(const std::string& source, const std::string& trusted_origin);

struct NavigationDecision {
  bool cancel = false;
  // Handed to the desktop's browser instead, when set.
  std::optional<std::string> open_outside;
};

// A main-frame navigation: it stays only on the trusted origin. One the user
// started towards an http(s) address elsewhere opens in the desktop's browser.
NavigationDecision DecideNavigation(const std::string& uri, const std::string& trusted_origin, bool user_initiated);

// A new window is never opened here: an http(s) address goes to the desktop's
// browser, anything else is dropped.
std::optional<std::string> NewWindowTarget(const std::string& uri);

}  // namespace tarnel::platform::win32::webview2
