#pragma once
// The desktop on Linux: XDG user folders, xdg-open, pkexec and the file
// manager's D-Bus interface. Nothing here blocks the main loop: programs are
// started without waiting and reaped from the main loop, D-Bus calls are
// asynchronous. External programs get /dev/null as standard input.
// UI thread only.
#include <memory>

#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkShell final : public IShell {
 public:
  GtkShell() = default;
  GtkShell(const GtkShell&) = delete;
  GtkShell& operator=(const GtkShell&) = delete;

  // XDG_DOWNLOAD_DIR as the user's user-dirs.dirs sets it now; empty when unset.
  std::string GetDownloadsFolder() override;
  // `xdg-open URL`. Text that would read as an option (a leading '-') or is
  // empty is refused; which addresses may be opened is the caller's rule.
  bool OpenUrl(const std::string& url) override;
  // Makes the file executable for its owner and starts `pkexec PATH`.
  // pkexec's exit status 126 (refused or dismissed) or 127 (not authorised,
  // or the program could not run), or pkexec not starting at all, calls
  // `failed` later from the main loop, never inside this call.
  void RunElevated(const std::string& path, std::function<void()> failed) override;
  // org.freedesktop.FileManager1.ShowItems on the session bus; when that
  // fails, `xdg-open` on the file's folder.
  void RevealFile(const std::string& path) override;

 private:
  // Callbacks hold it weakly: `failed` never runs after the shell is gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace tarnel::platform::gtk
