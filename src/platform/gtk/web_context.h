#pragma once
// The WebKit web context that every view of one browser platform shares:
// its own data and cache folders per build, the web process sandbox on, and
// no downloads of WebKit's own. UI thread only.
#include <webkit2/webkit2.h>

#include <string>

#include "platform/gtk/glib_handles.h"

namespace tarnel::platform::gtk {

// The folder name for a user data key: the key itself when it is non-empty
// and only [A-Za-z0-9_-], else "default" (so no key can name another folder).
std::string UserDataFolderName(const std::string& key);

// $XDG_DATA_HOME/tarnel/<name> and $XDG_CACHE_HOME/tarnel/<name>.
std::string UserDataFolder(const std::string& key);
std::string UserCacheFolder(const std::string& key);

// A context whose browser data lives in the key's folders (made here, for
// the user only) and whose web processes run sandboxed. Must be made before
// any web process of it starts. Every download it starts is cancelled at
// once; the connection that does it lives as long as the context.
GObjectPtr<WebKitWebContext> NewWebContext(const std::string& key);

}  // namespace tarnel::platform::gtk
