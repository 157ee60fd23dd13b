#pragma once
// The application object: runs the main window as a modal dialog and lets the
// process end when it closes.
#include "platform/platform.h"
#include "window/tarnel_dlg.h"

namespace tarnel::app {

class CTarnelApp {
 public:
  CTarnelApp() = default;

  // The platform the next InitInstance runs on; set once by main.
  void SetPlatform(platform::Platform* platform, window::DlgOptions options = {});

  // Runs the main window to its end; always returns false, so nothing runs
  // after the dialog.
  bool InitInstance();

 private:
  platform::Platform* m_platform = nullptr;
  window::DlgOptions m_options;
};

}  // namespace tarnel::app
