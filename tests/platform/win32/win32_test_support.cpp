#include "win32_test_support.h"

#include <fstream>

namespace tarnel::platform::win32::test {
namespace {

constexpr std::uint32_t kRunBody = WM_USER + 900;

// Dispatches the waiting messages, stopping early once `done` holds: a
// thread that keeps posting must not hold the pump forever.
void DispatchPending(const std::function<bool()>& done) {
  MSG message;
  while (!done() && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

}  // namespace

bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  const auto finished = [&] { return done() || std::chrono::steady_clock::now() >= deadline; };
  while (!finished()) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    DispatchPending(finished);
  }
  return done();
}

void PumpFor(std::chrono::milliseconds duration) {
  const auto deadline = std::chrono::steady_clock::now() + duration;
  PumpUntil([&] { return std::chrono::steady_clock::now() >= deadline; }, duration + std::chrono::seconds(1));
}

LRESULT RecordingTarget::WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  log.push_back({message, wParam, lParam});
  if (hook) return hook(message, wParam, lParam);
  return message == WM_INITDIALOG ? 1 : 0;
}

std::vector<std::uint32_t> RecordingTarget::Messages() const {
  std::vector<std::uint32_t> messages;
  for (const auto& entry : log) messages.push_back(entry.message);
  return messages;
}

int RunModal(IDialogWindow& window, RecordingTarget& target, const std::function<void()>& body, int result) {
  auto inner = std::move(target.hook);
  target.hook = [&](std::uint32_t message, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (message == kRunBody) {
      body();
      window.EndDialog(result);
      return 0;
    }
    const LRESULT answer = inner ? inner(message, wParam, lParam) : (message == WM_INITDIALOG ? 1 : 0);
    if (message == WM_INITDIALOG) window.Handle()->PostMessage(kRunBody, 0, 0);
    return answer;
  };
  const int returned = window.DoModal(target);
  target.hook = std::move(inner);
  return returned;
}

std::wstring ExecutableFolder() {
  wchar_t path[32768];
  const DWORD length = GetModuleFileNameW(nullptr, path, 32768);
  std::wstring folder(path, length);
  return folder.substr(0, folder.find_last_of(L"\\/"));
}

std::wstring MakeScratchFolder(const std::wstring& name) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
  std::wstring folder = std::wstring(temp, length) + name + L" " + std::to_wstring(GetCurrentProcessId());
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::path(folder), error);
  std::filesystem::create_directories(std::filesystem::path(folder));
  return folder;
}

std::string ReadWholeFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tarnel::platform::win32::test
