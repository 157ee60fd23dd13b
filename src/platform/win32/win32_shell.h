#pragma once
// The desktop on Windows: known folders, ShellExecuteEx and the file
// manager's folder view. UI thread only (COM is used in the calling thread's
// apartment).
#include <memory>

#include "platform/shell.h"
#include "platform/window_handle.h"

namespace tarnel::platform::win32 {

class Win32Shell final : public IShell {
 public:
  // `post` runs a task later on the UI thread (a UiDispatcher's scheduler).
  explicit Win32Shell(WindowHandle::Scheduler post) : post_(std::move(post)) {}
  Win32Shell(const Win32Shell&) = delete;
  Win32Shell& operator=(const Win32Shell&) = delete;

  // FOLDERID_Downloads; empty when the system has none.
  std::string GetDownloadsFolder() override;
  // ShellExecuteEx "open" on the URL, without the system's error boxes.
  // An empty text is refused; which addresses may be opened is the caller's rule.
  bool OpenUrl(const std::string& url) override;
  // ShellExecuteEx "runas" on the program, in the program's folder, without
  // waiting for it. When it does not start (the user refused the elevation:
  // ERROR_CANCELLED, or any other failure) `failed` is posted, to run later
  // on the UI thread and never after the shell is gone.
  void RunElevated(const std::string& path, std::function<void()> failed) override;
  // The folder of the file opened with the file selected; the folder alone
  // when the file cannot be selected (it does not exist). Nothing for an empty path.
  void RevealFile(const std::string& path) override;

 private:
  WindowHandle::Scheduler post_;
  // Posted callbacks hold it weakly: `failed` never runs after the shell is gone.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace tarnel::platform::win32
