#pragma once
// The stand-in layer for the dialog framework, the browser and the shell, as
// one set of references handed to the application.
#include "platform/browser.h"
#include "platform/dialog_window.h"
#include "platform/shell.h"

namespace tarnel::platform {

struct Platform {
  IDialogWindow& window;
  IBrowserPlatform& browser;
  IShell& shell;
  ISystem& system;
};

}  // namespace tarnel::platform
