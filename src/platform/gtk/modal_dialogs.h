#pragma once
// The modal dialogs of the main window: a message box and the save dialog.
// Both run a nested main loop until the user answers; UI thread only.
#include <gtk/gtk.h>

#include <optional>
#include <string>

#include "platform/dialog_window.h"

namespace tarnel::platform::gtk {

// Each dialog is modal on `parent` (may be null) and centred on it when
// `centerOnParent`, else on the screen: a parent that lies off screen or is
// iconified would take the dialog out of sight with it.

// A message box with `text`, `caption` as its title and one OK button.
// Returns IDOK, also when it is closed.
int RunMessageBox(GtkWindow* parent, bool centerOnParent, const std::string& text, const std::string& caption);

// A save dialog: the initial name (a bare name, or a path whose folder the
// dialog opens in), the filters, overwrite confirmation as asked, and the
// default extension appended to a name typed without one. The chosen path,
// or nothing when cancelled.
std::optional<std::string> RunSaveDialog(GtkWindow* parent, bool centerOnParent, const SaveDialogOptions& options);

}  // namespace tarnel::platform::gtk
