#pragma once
// Helpers of the Win32 platform tests: a message pump with a deadline, a
// recording message target and a modal run whose body runs inside the loop.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/dialog_window.h"

namespace tarnel::platform::win32::test {

// Dispatches this thread's messages until `done` holds or `timeout` passed;
// returns `done()`.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout = std::chrono::seconds(10));
// Dispatches this thread's messages for `duration`.
void PumpFor(std::chrono::milliseconds duration);

struct LoggedMessage {
  std::uint32_t message;
  WPARAM wParam;
  LPARAM lParam;
};

// Logs every message; `hook` answers, or the defaults (TRUE for WM_INITDIALOG).
class RecordingTarget : public IMessageTarget {
 public:
  LRESULT WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) override;
  std::vector<std::uint32_t> Messages() const;

  std::vector<LoggedMessage> log;
  std::function<LRESULT(std::uint32_t, WPARAM, LPARAM)> hook;
};

// Runs `window` modally for `target`; `body` runs inside the loop (posted at
// WM_INITDIALOG through the window's handle), then the dialog ends with
// `result`. Returns what DoModal returned.
int RunModal(IDialogWindow& window, RecordingTarget& target, const std::function<void()>& body, int result = 7);

// The folder of the running test executable (UTF-16 path).
std::wstring ExecutableFolder();
// A new empty folder under the temporary folder whose name has a space.
std::wstring MakeScratchFolder(const std::wstring& name);
// The whole file as bytes; empty when it cannot be read.
std::string ReadWholeFile(const std::wstring& path);

}  // namespace tarnel::platform::win32::test
