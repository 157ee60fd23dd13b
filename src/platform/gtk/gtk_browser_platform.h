#pragma once
// The embedded browser on WebKitGTK. UI thread only.
#include "platform/browser.h"
#include "platform/gtk/gtk_dialog_window.h"
#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkBrowserPlatform final : public IBrowserPlatform {
 public:
  // Both outlive the browser platform (members of the platform).
  GtkBrowserPlatform(GtkDialogWindow& window, IShell& shell) : window_(window), shell_(shell) {}

  // Completes later through the main loop, never inside this call; dropped
  // when the window that was there when it was asked is gone before then.
  void CreateEnvironment(EnvironmentCompleted completed) override;
  void SetUserDataKey(const std::string& key) override { userDataKey_ = key; }

 private:
  GtkDialogWindow& window_;
  IShell& shell_;
  std::string userDataKey_;
};

}  // namespace tarnel::platform::gtk
