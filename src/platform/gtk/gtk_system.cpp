#include "platform/gtk/gtk_system.h"

#include <gio/gio.h>

#include <filesystem>
#include <mutex>
#include <string_view>
#include <system_error>

#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {
namespace {

// GIO documents no thread safety for proxy lookups, and the resolvers it may
// load (libproxy, GNOME settings, the portal) differ in what they guard, so
// lookups from our threads take turns. They are rare: one per transfer.
std::mutex g_lookupMutex;

// One of GIO's answers in libcurl's form; nothing when libcurl cannot use it.
std::optional<std::string> ForCurl(std::string_view proxy) {
  if (proxy == "direct://") return std::string();
  const auto schemeEnd = proxy.find("://");
  if (schemeEnd == std::string_view::npos) return std::nullopt;
  const std::string_view scheme = proxy.substr(0, schemeEnd);
  const std::string_view rest = proxy.substr(schemeEnd);
  // SOCKS 5 (and a plain "socks", which GIO's resolvers use for a SOCKS host
  // of unknown version) resolves names at the proxy, as a desktop does.
  if (scheme == "socks" || scheme == "socks5" || scheme == "socks5h") return "socks5h" + std::string(rest);
  if (scheme == "http" || scheme == "https" || scheme == "socks4" || scheme == "socks4a") return std::string(proxy);
  return std::nullopt;
}

}  // namespace

std::string GtkSystem::GetModuleFileName() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::optional<std::string> GtkSystem::ProxyForUrl(const std::string& url) {
  std::lock_guard lock(g_lookupMutex);
  GError* error = nullptr;
  // The default resolver is made once per process (GIO guards that itself)
  // and is owned by GIO.
  const GStrvPtr proxies(g_proxy_resolver_lookup(g_proxy_resolver_get_default(), url.c_str(), nullptr, &error));
  const GErrorPtr owned(error);
  if (!proxies) return std::nullopt;
  // The answers come in the order to try; the first one libcurl understands wins.
  std::optional<std::string> answer;
  for (gchar** proxy = proxies.get(); *proxy != nullptr && !answer; ++proxy) answer = ForCurl(*proxy);
  return answer;
}

}  // namespace tarnel::platform::gtk
