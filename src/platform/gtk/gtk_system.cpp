#include "platform/gtk/gtk_system.h"

#include <gio/gio.h>

#include <filesystem>
#include <system_error>

namespace tarnel::platform::gtk {

std::string GtkSystem::GetModuleFileName() {
  std::error_code error;
  const auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : path.string();
}

std::optional<std::string> GtkSystem::ProxyForUrl(const std::string& url) {
  GError* error = nullptr;
  gchar** proxies = g_proxy_resolver_lookup(g_proxy_resolver_get_default(), url.c_str(), nullptr, &error);
  if (proxies == nullptr) {
    if (error != nullptr) g_error_free(error);
    return std::nullopt;
  }
  std::optional<std::string> answer;
  if (proxies[0] != nullptr) {
    const std::string first = proxies[0];
    answer = first == "direct://" ? std::string() : first;
  }
  g_strfreev(proxies);
  return answer;
}

}  // namespace tarnel::platform::gtk
