#pragma once
// The GTK 3 / WebKitGTK 4.1 platform: the main window, the browser, the shell
// and the system, handed to the application as one Platform.
//
// Construct exactly one, on the thread that will be the UI thread, before
// anything else touches GTK; it lives as long as the application uses the
// platform. Its constructor restricts GDK to the X11 backend and initialises
// GTK with the command line (GTK removes the options that it understands).
#include <stdexcept>

#include "platform/gtk/gtk_browser_platform.h"
#include "platform/gtk/gtk_dialog_window.h"
#include "platform/gtk/gtk_shell.h"
#include "platform/gtk/gtk_system.h"
#include "platform/platform.h"

namespace tarnel::platform::gtk {

class GtkPlatform {
 public:
  // Throws std::runtime_error when no X11 display can be opened.
  GtkPlatform(int& argc, char**& argv);
  GtkPlatform(const GtkPlatform&) = delete;
  GtkPlatform& operator=(const GtkPlatform&) = delete;

  Platform& platform() { return platform_; }
  GtkDialogWindow& window() { return window_; }
  GtkBrowserPlatform& browser() { return browser_; }
  GtkShell& shell() { return shell_; }
  GtkSystem& system() { return system_; }

 private:
  // Runs before the members below are made: they need GTK.
  struct Initialised {
    Initialised(int& argc, char**& argv);
  };

  Initialised initialised_;
  GtkSystem system_;
  GtkShell shell_;
  GtkDialogWindow window_;
  GtkBrowserPlatform browser_;
  Platform platform_;
};

}  // namespace tarnel::platform::gtk
