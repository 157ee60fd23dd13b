// The configuration file and the calls to the download service.
#include <cstdio>

#include "service/config.h"
#include "service/info_answer.h"
#include "service/info_request.h"

#include "platform/text.h"
#include "platform/url_rules.h"
#include "window/tarnel_dlg.h"

namespace tarnel::window {

using namespace platform;

void CTarnelDlg::LoadConfig() {
  const std::string file = service::ConfigFileBeside(m_platform.system.GetModuleFileName());
  const service::ConfigValues values =
      service::ReadConfig(file, service::InfoBaseUrl(), [] { return service::GenerateUuid(); });
  m_nDownloaderId = values.downloaderId;
  m_strInfoUrl = values.infoUrl;
  m_strUuid = values.uuid;
  // Each build keeps its own browser data.
  m_platform.browser.SetUserDataKey(std::to_string(m_nDownloaderId));
}

void CTarnelDlg::RequestInfo() {
  // Blocking, bounded in time; the main loop has not started yet.
  const std::optional<std::string> body = service::FetchInfo(NarrowThreadAcp(m_strInfoUrl), m_options.transfer);
  if (!body) return;
  const service::InfoAnswer answer = service::ParseInfoAnswer(*body);
  // The page drives downloads that run elevated: one that anybody on the
  // network path could replace is treated as no answer at all.
  if (answer.pageUrl && !IsTrustedTransport(*answer.pageUrl)) {
    std::fprintf(stderr, "tarnel: page address refused, neither https nor this machine: %s\n", answer.pageUrl->c_str());
    return;
  }
  if (answer.title) m_platform.window.SetWindowText(Utf8ToAnsi(*answer.title));
  if (answer.pageUrl) m_strPageUrl = WidenThreadAcp(*answer.pageUrl);
}

void CTarnelDlg::ReportEvent(std::string event) {
  // Queued for the background sender: the page never waits for the endpoint.
  m_eventSender.Enqueue(service::EventReport{m_nDownloaderId, CutAtNul(event), NarrowThreadAcp(m_strUuid)});
}

}  // namespace tarnel::window
