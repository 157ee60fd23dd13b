#include "platform/win32/win32_system.h"

#include <winhttp.h>

#include "platform/wide_text.h"
#include "platform/win32/proxy_rules.h"

namespace tarnel::platform::win32 {
namespace {

constexpr DWORD kMaxPathLength = 32768;  // the longest path Windows has

// Frees WinHTTP's strings (allocated with GlobalAlloc) at the end of the scope.
class GlobalText {
 public:
  explicit GlobalText(LPWSTR text) : text_(text) {}
  ~GlobalText() {
    if (text_ != nullptr) GlobalFree(text_);
  }
  GlobalText(const GlobalText&) = delete;
  GlobalText& operator=(const GlobalText&) = delete;
  std::string Utf8() const { return text_ != nullptr ? WideToUtf8(text_) : std::string(); }
  bool empty() const { return text_ == nullptr || *text_ == L'\0'; }

 private:
  LPWSTR text_;
};

class InternetHandle {
 public:
  explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
  ~InternetHandle() {
    if (handle_ != nullptr) WinHttpCloseHandle(handle_);
  }
  InternetHandle(const InternetHandle&) = delete;
  InternetHandle& operator=(const InternetHandle&) = delete;
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_;
};

// The automatic configuration's answer for the URL; nothing when it has none.
std::optional<std::string> AutomaticProxy(const std::string& url, bool detect, const std::wstring& script) {
  const InternetHandle session(
      WinHttpOpen(L"Tarnel", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
  if (session.get() == nullptr) return std::nullopt;
  WINHTTP_AUTOPROXY_OPTIONS options{};
  if (detect) {
    options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
  }
  if (!script.empty()) {
    options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
    options.lpszAutoConfigUrl = script.c_str();
  }
  // Scripts on an intranet server may ask for the user's credentials.
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  const std::wstring wideUrl = Utf8ToWide(url);
  const bool answered = WinHttpGetProxyForUrl(session.get(), wideUrl.c_str(), &options, &info) != FALSE;
  const GlobalText proxy(info.lpszProxy);
  const GlobalText bypass(info.lpszProxyBypass);
  if (!answered) return std::nullopt;
  if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY || proxy.empty()) return std::string();
  return CurlProxyFor(url, proxy.Utf8(), bypass.Utf8());
}

}  // namespace

std::string Win32System::GetModuleFileName() {
  std::wstring path(MAX_PATH, L'\0');
  while (true) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    // A full buffer means the path may have been cut: try a larger one.
    if (length < path.size()) {
      path.resize(length);
      return WideToUtf8(path);
    }
    if (path.size() >= kMaxPathLength) return {};
    path.resize(std::min<std::size_t>(path.size() * 2, kMaxPathLength));
  }
}

std::optional<std::string> Win32System::ProxyForUrl(const std::string& url) {
  if (!ParseProxyTarget(url)) return std::nullopt;
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG settings{};
  if (!WinHttpGetIEProxyConfigForCurrentUser(&settings)) return std::nullopt;
  const GlobalText script(settings.lpszAutoConfigUrl);
  const GlobalText proxy(settings.lpszProxy);
  const GlobalText bypass(settings.lpszProxyBypass);

  if (settings.fAutoDetect || !script.empty()) {
    if (auto automatic = AutomaticProxy(url, settings.fAutoDetect != FALSE, Utf8ToWide(script.Utf8()))) {
      return automatic;
    }
    // As the system's own stack does: without an answer, the proxy set by hand.
    if (proxy.empty()) return std::nullopt;
  }
  if (proxy.empty()) return std::string();  // no proxy at all: direct
  return CurlProxyFor(url, proxy.Utf8(), bypass.Utf8());
}

}  // namespace tarnel::platform::win32
