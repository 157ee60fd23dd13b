#pragma once
// The dialog base: holds the platform and gives the main window the
// framework's default handling of the messages it does not take itself.
#include <memory>

#include "platform/platform.h"

namespace tarnel::window {

class CDialogEx : public platform::IMessageTarget {
 public:
  explicit CDialogEx(platform::Platform& platform) : m_platform(platform) {}

  // UI thread. Runs the dialog modally; returns the EndDialog result.
  int DoModal() { return m_platform.window.DoModal(*this); }
  void EndDialog(int result) { m_platform.window.EndDialog(result); }
  // The posting handle of the window; null outside the modal run.
  std::shared_ptr<platform::WindowHandle> GetSafeHwnd() { return m_platform.window.Handle(); }

 protected:
  virtual int OnCreate() { return 0; }
  virtual bool OnInitDialog() { return true; }
  // Messages the dialog does not handle do nothing more.
  platform::LRESULT DefWindowProc(std::uint32_t, platform::WPARAM, platform::LPARAM) { return 0; }

  platform::Platform& m_platform;
};

}  // namespace tarnel::window
