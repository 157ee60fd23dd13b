#pragma once
// The Win32 platform: COM, the main window, the shell and the system, handed
// to the application as one Platform together with a browser made by the
// caller (which usually needs the window to host its view).
//
// Construct exactly one, on the thread that will be the UI thread; it lives
// as long as the application uses the platform.
#include "platform/platform.h"
#include "platform/win32/com_apartment.h"
#include "platform/win32/ui_dispatcher.h"
#include "platform/win32/win32_dialog_window.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_system.h"

namespace tarnel::platform::win32 {

class Win32Platform {
 public:
  // Window, shell, system and dispatcher; the browser is bound later.
  Win32Platform();
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  // The platform with `browser`, which must outlive this object's use.
  Platform MakePlatform(IBrowserPlatform& browser) { return Platform{window_, browser, shell_, system_}; }

  Win32DialogWindow& window() { return window_; }
  Win32Shell& shell() { return shell_; }
  Win32System& system() { return system_; }
  UiDispatcher& dispatcher() { return dispatcher_; }

 private:
  ComApartment com_;
  UiDispatcher dispatcher_;
  Win32System system_;
  Win32Shell shell_;
  Win32DialogWindow window_;
};

}  // namespace tarnel::platform::win32
