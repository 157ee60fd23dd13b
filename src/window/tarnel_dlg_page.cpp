// The page bridge: page messages in, status notifications out.
#include <cstdio>
#include <exception>

#include "bridge/notifications.h"
#include "bridge/page_message.h"
#include "bridge/protocol.h"
#include "platform/text.h"
#include "platform/url_rules.h"
#include "window/tarnel_dlg.h"

namespace tarnel::window {

using namespace platform;
using bridge::PageAction;
using nlohmann::json;

void CTarnelDlg::OnWebMessage(const std::optional<std::string>& text) {
  TARNEL_ASSERT_UI_THREAD(m_uiThread);
  // Nothing a page sends may reach the browser host or the process: errors of
  // the JSON library end the message here, with the steps done so far kept.
  try {
    const std::string utf8 = bridge::DecodePageText(text);
    std::optional<bridge::PageMessage> message = bridge::ParsePageMessage(utf8);
    if (!message) return;
    DispatchPageMessage(message->type, message->data);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "tarnel: page message ignored: %s\n", error.what());
  }
}

void CTarnelDlg::DispatchPageMessage(const std::string& type, json& data) {
  switch (bridge::FindPageAction(type)) {
    case PageAction::kOpenUrl: OnOpenUrl(data); break;
    case PageAction::kInstall: OnInstall(); break;
    case PageAction::kOpenDnldDir: OpenDnldDir(m_strDnldPath); break;
    case PageAction::kDnld: OnDnld(data); break;
    case PageAction::kPostData: OnPostData(data); break;
    case PageAction::kClose: OnClose(data); break;
    case PageAction::kMinimize: m_platform.window.ShowWindow(SW_SHOWMINIMIZED); break;
    case PageAction::kMaximize: m_platform.window.ShowWindow(SW_SHOWMAXIMIZED); break;
    case PageAction::kRestore: m_platform.window.ShowWindow(SW_SHOWNORMAL); break;
    case PageAction::kResizeWindow: OnResizeWindow(data); break;
    case PageAction::kMouseDown: OnMouseCommand(WM_LBUTTONDOWN, data, true); break;
    case PageAction::kMouseUp: OnMouseCommand(WM_LBUTTONUP, data, false); break;
    case PageAction::kMouseMove: OnMouseCommand(WM_MOUSEMOVE, data, false); break;
    case PageAction::kDnldCancel: OnDnldCancel(); break;
    case PageAction::kNone: break;
  }
}

void CTarnelDlg::OnPostData(json& data) { ReportEvent(bridge::ReadString(data, "event_id")); }

void CTarnelDlg::OnOpenUrl(json& data) {
  const std::string url = bridge::ReadString(data, "url");
  // Page content is remote: only web and mail addresses go to the opener,
  // never local files, programs or options.
  if (IsOpenableUrl(url)) {
    m_platform.shell.OpenUrl(WithoutMailAttachments(url));
  } else {
    std::fprintf(stderr, "tarnel: open_url refused: %s\n", url.c_str());
  }
  ReportEvent(std::string(protocol::kEventOpenUrl));
}

void CTarnelDlg::SendToPage(const json& notification) {
  TARNEL_ASSERT_UI_THREAD(m_uiThread);
  if (!m_webView) return;
  m_webView->PostWebMessageAsJson(WidenThreadAcp(bridge::SerializeNotification(notification)));
}

}  // namespace tarnel::window
