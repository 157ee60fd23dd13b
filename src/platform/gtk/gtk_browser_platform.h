#pragma once
// The embedded browser on WebKitGTK. UI thread only.
//
// All views share one web context, made at the first view: its data and
// cache folders are named by the user data key (see web_context.h), so the
// key must be set before then; a later key is ignored.
#include <webkit2/webkit2.h>

#include <string>

#include "platform/browser.h"
#include "platform/gtk/glib_handles.h"
#include "platform/gtk/gtk_dialog_window.h"
#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkBrowserPlatform final : public IBrowserPlatform {
 public:
  // Both outlive the browser platform (members of the platform).
  GtkBrowserPlatform(GtkDialogWindow& window, IShell& shell) : window_(window), shell_(shell) {}

  // Completes later through the main loop, never inside this call; dropped
  // when the window that was there when it was asked is gone before then.
  // The environment must not outlive the platform.
  void CreateEnvironment(EnvironmentCompleted completed) override;
  void SetUserDataKey(const std::string& key) override;

  // The shared web context, made on the first call.
  WebKitWebContext* WebContext();

 private:
  GtkDialogWindow& window_;
  IShell& shell_;
  std::string userDataKey_;
  GObjectPtr<WebKitWebContext> context_;
};

}  // namespace tarnel::platform::gtk
