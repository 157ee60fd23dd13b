#pragma once
// The browser environment: views on the browser platform's shared web
// context. UI thread only.
#include "platform/browser.h"
#include "platform/gtk/gtk_browser_platform.h"
#include "platform/gtk/gtk_dialog_window.h"
#include "platform/shell.h"

namespace tarnel::platform::gtk {

class GtkWebEnvironment final : public IWebEnvironment {
 public:
  // All three outlive the environment (the platform and its members).
  GtkWebEnvironment(GtkDialogWindow& window, IShell& shell, GtkBrowserPlatform& browser)
      : window_(window), shell_(shell), browser_(browser) {}

  // Completes later through the main loop: with the controller of a new view
  // that fills the main window, or with null when there is no window, it has
  // a view already or WebKit made none. Dropped when the window is gone
  // before then.
  void CreateController(ControllerCompleted completed) override;

 private:
  GtkDialogWindow& window_;
  IShell& shell_;
  GtkBrowserPlatform& browser_;
};

}  // namespace tarnel::platform::gtk
