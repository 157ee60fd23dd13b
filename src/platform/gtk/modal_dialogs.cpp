#include "platform/gtk/modal_dialogs.h"

#include "platform/gtk/glib_handles.h"
#include "platform/save_dialog_rules.h"

namespace tarnel::platform::gtk {

namespace {

GtkWindowPosition Position(GtkWindow* parent, bool centerOnParent) {
  return parent != nullptr && centerOnParent ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER;
}

bool ConfirmReplace(GtkWindow* parent, const std::string& path) {
  GCharPtr name(g_path_get_basename(path.c_str()));
  GtkWidget* dialog = gtk_message_dialog_new(parent, GTK_DIALOG_MODAL, GTK_MESSAGE_QUESTION, GTK_BUTTONS_YES_NO,
                                             "\"%s\" already exists. Replace it?", name.get());
  const bool replace = gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_YES;
  gtk_widget_destroy(dialog);
  return replace;
}

}  // namespace

int RunMessageBox(GtkWindow* parent, bool centerOnParent, const std::string& text, const std::string& caption) {
  // GTK_MESSAGE_OTHER: an OK box with no icon.
  GtkWidget* dialog =
      gtk_message_dialog_new(parent, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
                             GTK_MESSAGE_OTHER, GTK_BUTTONS_OK, "%s", text.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), caption.c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), Position(parent, centerOnParent));
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return IDOK;
}

std::optional<std::string> RunSaveDialog(GtkWindow* parent, bool centerOnParent, const SaveDialogOptions& options) {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(nullptr, parent, GTK_FILE_CHOOSER_ACTION_SAVE, "_Cancel",
                                                  GTK_RESPONSE_CANCEL, "_Save", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_position(GTK_WINDOW(dialog), Position(parent, centerOnParent));
  gtk_file_chooser_set_do_overwrite_confirmation(chooser, options.overwritePrompt ? TRUE : FALSE);

  const std::string& initial = options.initialName;
  const auto slash = initial.find_last_of('/');
  if (slash != std::string::npos) {
    gtk_file_chooser_set_current_folder(chooser, slash == 0 ? "/" : initial.substr(0, slash).c_str());
    gtk_file_chooser_set_current_name(chooser, initial.substr(slash + 1).c_str());
  } else if (!initial.empty()) {
    gtk_file_chooser_set_current_name(chooser, initial.c_str());
  }

  for (const FileFilter& filter : options.filters) {
    GtkFileFilter* gtkFilter = gtk_file_filter_new();
    gtk_file_filter_set_name(gtkFilter, filter.name.c_str());
    for (const std::string& glob : FilterGlobs(filter.pattern)) gtk_file_filter_add_pattern(gtkFilter, glob.c_str());
    gtk_file_chooser_add_filter(chooser, gtkFilter);  // the chooser takes the floating reference
  }

  std::optional<std::string> path;
  while (!path && gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
    GCharPtr chosen(gtk_file_chooser_get_filename(chooser));
    if (!chosen) break;
    std::string full = WithDefaultExtension(chosen.get(), options.defaultExtension);
    // The chooser confirmed the name as typed; a name that gained its
    // extension here may hit another file, which needs its own question.
    if (options.overwritePrompt && full != chosen.get() && g_file_test(full.c_str(), G_FILE_TEST_EXISTS) &&
        !ConfirmReplace(GTK_WINDOW(dialog), full)) {
      continue;
    }
    path = std::move(full);
  }
  gtk_widget_destroy(dialog);
  return path;
}

}  // namespace tarnel::platform::gtk
