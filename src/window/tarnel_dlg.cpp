// Construction, the message map, dialog initialisation and the browser host.
#include "window/tarnel_dlg.h"

#include "service/config.h"

namespace tarnel::window {

using namespace platform;

namespace {
// Service calls go through the proxy the desktop sets, as the page does. The
// platform outlives the window and its event sender.
DlgOptions WithProxy(DlgOptions options, Platform& platform) {
  if (!options.transfer.proxy) {
    options.transfer.proxy = [&system = platform.system](const std::string& url) { return system.ProxyForUrl(url); };
  }
  return options;
}
}  // namespace

CTarnelDlg::CTarnelDlg(Platform& platform, DlgOptions options)
    : CDialogEx(platform),
      m_hIcon(IDR_MAINFRAME),
      m_nDefWidth(0),
      m_nDefHeight(0),
      m_nDownloaderId(0),
      m_bDragging(false),
      m_ptDragLast{0, 0},
      m_pDnldCurl(nullptr),
      m_nDnldState(0),
      m_options(WithProxy(std::move(options), platform)),
      m_eventSender(m_options.logUrl.empty() ? service::LogUrl() : m_options.logUrl, m_options.transfer,
                    m_options.reportDrainBudget) {}

CTarnelDlg::~CTarnelDlg() {
  // The worker posts only to the window handle, which is gone by now; stop it
  // and wait so its transfer does not outlive the window. A kept part file
  // is only worth something while the program runs.
  StopDownload();
  if (m_keptPart) download::RemoveIfSame(m_keptPart->partPath, m_keptPart->identity);
  m_webView.reset();
  m_controller.reset();
}

LRESULT CTarnelDlg::WindowProc(std::uint32_t message, WPARAM wParam, LPARAM lParam) {
  TARNEL_ASSERT_UI_THREAD(m_uiThread);
  switch (message) {
    case WM_SIZE: OnSize(static_cast<unsigned>(wParam), SizeWidth(lParam), SizeHeight(lParam)); return 0;
    case WM_CREATE: return OnCreate();
    case WM_INITDIALOG: return OnInitDialog() ? 1 : 0;
    case WM_LBUTTONDOWN: OnLButtonDown(static_cast<unsigned>(wParam), Point{MouseX(lParam), MouseY(lParam)}); return 0;
    case WM_LBUTTONUP: OnLButtonUp(static_cast<unsigned>(wParam), Point{MouseX(lParam), MouseY(lParam)}); return 0;
    case WM_MOUSEMOVE: OnMouseMove(static_cast<unsigned>(wParam), Point{MouseX(lParam), MouseY(lParam)}); return 0;
    case WM_DNLD_START: return OnDnldStart(wParam, lParam);
    case WM_DL_PROGRESS: return OnDlProgress(wParam, lParam);
    case WM_DNLD_FINISHED: return OnDnldFinished(wParam, lParam);
    case WM_DNLD_FAILED: return OnDnldFailed(wParam, lParam);
    default: return DefWindowProc(message, wParam, lParam);
  }
}

bool CTarnelDlg::OnInitDialog() {
  CDialogEx::OnInitDialog();

  // Out of sight until the page asks for a size: off every monitor, and
  // minimised, since window managers pull off-screen windows back on screen.
  m_platform.window.SetWindowPos(-10000, 0, 0, 0, SWP_NOSIZE);
  m_platform.window.ShowWindow(SW_SHOWMINNOACTIVE);
  // The big and the small icon are the same compiled-in image.
  m_platform.window.SetAppIcon();

  LoadConfig();
  RequestInfo();
  return true;
}

int CTarnelDlg::OnCreate() {
  if (CDialogEx::OnCreate() == -1) return -1;
  // The environment arrives later through the main loop, after OnInitDialog.
  std::weak_ptr<WindowHandle> hwnd = GetSafeHwnd();
  m_platform.browser.CreateEnvironment([this, hwnd](std::shared_ptr<IWebEnvironment> environment) {
    if (auto window = hwnd.lock(); window && window->IsWindow()) OnEnvironmentCreated(std::move(environment));
  });
  return 0;
}

void CTarnelDlg::OnEnvironmentCreated(std::shared_ptr<IWebEnvironment> environment) {
  if (!environment) return;  // no browser: the window stays out of sight
  std::weak_ptr<WindowHandle> hwnd = GetSafeHwnd();
  environment->CreateController([this, hwnd](std::shared_ptr<IWebController> controller) {
    if (auto window = hwnd.lock(); window && window->IsWindow()) OnControllerCreated(std::move(controller));
  });
}

void CTarnelDlg::OnControllerCreated(std::shared_ptr<IWebController> controller) {
  if (!controller) return;
  m_controller = std::move(controller);
  m_webView.reset();
  m_webView = m_controller->GetCoreWebView2();
  if (!m_webView) return;

  IWebViewSettings& settings = m_webView->GetSettings();
  settings.PutIsScriptEnabled(true);
  settings.PutAreDefaultScriptDialogsEnabled(true);
  settings.PutIsWebMessageEnabled(true);
  settings.PutAreDevToolsEnabled(false);
  settings.PutAreDefaultContextMenusEnabled(false);

  m_controller->PutBounds(m_platform.window.GetClientRect());
  m_webView->Navigate(m_strPageUrl);

  std::weak_ptr<WindowHandle> hwnd = GetSafeHwnd();
  m_webView->AddWebMessageReceived([this, hwnd](const std::optional<std::string>& text) {
    if (auto window = hwnd.lock(); window && window->IsWindow()) OnWebMessage(text);
  });
}

void CTarnelDlg::OnSize(unsigned /*nType*/, int /*cx*/, int /*cy*/) {
  if (m_controller) m_controller->PutBounds(m_platform.window.GetClientRect());
}

}  // namespace tarnel::window
