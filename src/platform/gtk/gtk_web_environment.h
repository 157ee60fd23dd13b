#pragma once
// The browser environment: WebKit's default context, with the browser's data
// (cookies, local storage, cache) in WebKit's default per-user folders.
// UI thread only.
#include "platform/browser.h"
#include "platform/gtk/gtk_dialog_window.h"
#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkWebEnvironment final : public IWebEnvironment {
 public:
  // Both outlive the environment (members of the platform).
  GtkWebEnvironment(GtkDialogWindow& window, IShell& shell) : window_(window), shell_(shell) {}

  // Completes later through the main loop: with the controller of a new view
  // that fills the main window, or with null when there is no window, it has
  // a view already or WebKit made none. Dropped when the window is gone
  // before then.
  void CreateController(ControllerCompleted completed) override;

 private:
  GtkDialogWindow& window_;
  IShell& shell_;
};

}  // namespace tarnel::platform::gtk
