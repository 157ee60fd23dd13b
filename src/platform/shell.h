#pragma once
// What the application asks of the desktop: known folders and starting
// programs. Nothing here waits on the UI thread for a program to end.
#include <functional>
#include <optional>
#include <string>

namespace tarnel::platform {

class IShell {
 public:
  virtual ~IShell() = default;
  // The user's Downloads folder; empty when there is none.
  virtual std::string GetDownloadsFolder() = 0;
  // Hands a URL to the user's default handler. False when it could not start.
  virtual bool OpenUrl(const std::string& url) = 0;
  // Starts a program with administrator rights, without waiting for it.
  // `failed` runs later on the UI thread when starting it failed or the user
  // refused the elevation; it never runs after the shell is gone.
  virtual void RunElevated(const std::string& path, std::function<void()> failed) = 0;
  // Shows the file selected in the file manager (or at least its folder).
  virtual void RevealFile(const std::string& path) = 0;
};

class ISystem {
 public:
  virtual ~ISystem() = default;
  // Full path of the running executable.
  virtual std::string GetModuleFileName() = 0;
  // Any thread. The proxy the desktop is set to use for `url`, as libcurl
  // takes it ("http://host:port", "socks5://..."): an empty text for a direct
  // connection, nothing when the desktop gives no answer (libcurl's own
  // rules then apply). May block while the desktop decides.
  virtual std::optional<std::string> ProxyForUrl(const std::string& url) = 0;
};

}  // namespace tarnel::platform
