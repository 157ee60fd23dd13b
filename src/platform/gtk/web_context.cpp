#include "platform/gtk/web_context.h"

#include <glib/gstdio.h>

#include <algorithm>
#include <iostream>

namespace tarnel::platform::gtk {
namespace {

std::string FolderUnder(const char* base, const std::string& key) {
  GCharPtr path(g_build_filename(base, "tarnel", UserDataFolderName(key).c_str(), nullptr));
  return path.get();
}

// The page never gets a download through WebKit: the application downloads
// what it needs itself. Nothing reaches the disk: the destination is never
// decided.
void OnDownloadStarted(WebKitWebContext*, WebKitDownload* download, gpointer) {
  WebKitURIRequest* request = webkit_download_get_request(download);
  const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  std::cerr << "tarnel: cancelled a browser download of \"" << (uri != nullptr ? uri : "") << "\"\n";
  webkit_download_cancel(download);
}

}  // namespace

std::string UserDataFolderName(const std::string& key) {
  const bool safe = !key.empty() && key.size() <= 64 && std::all_of(key.begin(), key.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
  return safe ? key : "default";
}

std::string UserDataFolder(const std::string& key) { return FolderUnder(g_get_user_data_dir(), key); }
std::string UserCacheFolder(const std::string& key) { return FolderUnder(g_get_user_cache_dir(), key); }

GObjectPtr<WebKitWebContext> NewWebContext(const std::string& key) {
  if (UserDataFolderName(key) != key) {
    std::cerr << "tarnel: the browser data key \"" << key << "\" is not usable; using \"default\"\n";
  }
  const std::string data = UserDataFolder(key);
  const std::string cache = UserCacheFolder(key);
  for (const std::string& folder : {data, cache}) {
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
      std::cerr << "tarnel: cannot create the browser folder \"" << folder << "\"\n";
    }
  }
  GObjectPtr<WebKitWebsiteDataManager> manager(webkit_website_data_manager_new(
      "base-data-directory", data.c_str(), "base-cache-directory", cache.c_str(), nullptr));
  GObjectPtr<WebKitWebContext> context(webkit_web_context_new_with_website_data_manager(manager.get()));
  // Before any web process of this context starts (WebKit aborts otherwise).
  webkit_web_context_set_sandbox_enabled(context.get(), TRUE);
  // Disconnected only with the context itself: no data pointer to outlive.
  g_signal_connect(context.get(), "download-started", G_CALLBACK(OnDownloadStarted), nullptr);
  return context;
}

}  // namespace tarnel::platform::gtk
