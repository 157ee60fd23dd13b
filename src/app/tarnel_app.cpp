#include "app/tarnel_app.h"

namespace tarnel::app {

void CTarnelApp::SetPlatform(platform::Platform* platform, window::DlgOptions options) {
  m_platform = platform;
  m_options = std::move(options);
}

bool CTarnelApp::InitInstance() {
  if (m_platform == nullptr) return false;
  {
    // The window object lives exactly as long as the modal run; its
    // destructor stops a running download before it goes.
    window::CTarnelDlg dlg(*m_platform, m_options);
    dlg.DoModal();
  }
  return false;
}

}  // namespace tarnel::app
