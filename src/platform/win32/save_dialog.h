#pragma once
// The modal save dialog (the shell's IFileSaveDialog) and the pure pieces of
// its set-up.
#include "platform/win32/windows_api.h"

#include "platform/win32/shell_headers.h"

#include <optional>
#include <string>
#include <vector>

#include "platform/dialog_window.h"

namespace tarnel::platform::win32 {

// The dialog's file types: the texts stay here, the entries point into them.
class DialogFileTypes {
 public:
  explicit DialogFileTypes(const std::vector<FileFilter>& filters);
  DialogFileTypes(const DialogFileTypes&) = delete;
  DialogFileTypes& operator=(const DialogFileTypes&) = delete;

  const std::vector<COMDLG_FILTERSPEC>& entries() const { return entries_; }

 private:
  std::vector<std::wstring> names_;
  std::vector<std::wstring> patterns_;
  std::vector<COMDLG_FILTERSPEC> entries_;
};

// The default extension as the dialog takes it: without its leading dot(s).
std::wstring DialogDefaultExtension(const std::string& extension);

// FOS_* options from what the dialog had: file system paths only, the
// process's current folder left alone, and the overwrite prompt as asked.
DWORD SaveDialogFlags(DWORD current, bool overwritePrompt);

// UI thread. Runs the dialog modally on `owner` (may be null); the chosen
// full path, or nothing when cancelled or the dialog could not be shown.
std::optional<std::string> RunSaveDialog(HWND owner, const SaveDialogOptions& options);

}  // namespace tarnel::platform::win32
