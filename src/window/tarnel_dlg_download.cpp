// The download job and the shell actions that use its file.
#include <curl/curl.h>

#include "bridge/notifications.h"
#include "bridge/page_message.h"
#include "download/download_worker.h"
#include "download/file_name.h"
#include "download/progress_mailbox.h"
#include "platform/text.h"
#include "window/tarnel_dlg.h"

namespace tarnel::window {

using namespace platform;
using nlohmann::json;

namespace {
const char kInstallFailedText[] = "运行安装程序失败，请手动执行...";
const char kInstallFailedCaption[] = "运行失败";
}  // namespace

void CTarnelDlg::OnDnld(json& data) {
  // A job under way only repeats its last notification; the new URL is ignored.
  if (m_nDnldState == 1) {
    if (auto hwnd = GetSafeHwnd()) hwnd->PostMessage(WM_DNLD_START, 0, 0);
    return;
  }
  if (m_nDnldState == 2) {
    if (auto hwnd = GetSafeHwnd()) hwnd->PostMessage(WM_DNLD_FINISHED, 0, 0);
    return;
  }
  // Started but not yet running (its save dialog is open, or its start
  // message is on its way): one job at a time.
  if (m_bDnldStarting) return;

  m_nDnldState = 0;
  m_strDnldUrl.clear();
  const std::string url = bridge::ReadString(data, "url");
  const bool silent = bridge::ReadBool(data, "silent");
  m_strDnldUrl = WidenThreadAcp(url);
  StartDownload(silent);
}

void CTarnelDlg::StartDownload(bool silent) {
  m_bDnldStarting = true;
  m_strDnldPath.clear();
  const std::string folder = m_platform.shell.GetDownloadsFolder();
  const std::string name = download::FileNameFromUrl(m_strDnldUrl);

  if (silent && !folder.empty()) {
    m_strDnldPath = download::JoinFolder(folder, name);
  } else {
    SaveDialogOptions options;
    options.defaultExtension = "txt";
    options.initialName = name;
    options.overwritePrompt = true;
    options.filters = {{"应用程序(*.exe)", "*.exe"}, {"所有文件(*.*)", "*.*"}};
    const std::optional<std::string> chosen = m_platform.window.ShowSaveDialog(options);
    if (!chosen) {
      m_bDnldStarting = false;
      return;
    }
    m_strDnldPath = *chosen;
  }

  auto hwnd = GetSafeHwnd();
  if (hwnd) hwnd->PostMessage(WM_DNLD_START, 0, 0);
  // The handle and the thread belong to the worker from here on; a previous,
  // ended worker is joined first.
  m_pDnldThread.reset();
  m_pDnldCurl = curl_easy_init();
  m_progress = std::make_shared<download::ProgressMailbox>();
  m_pDnldThread = std::make_unique<download::DownloadWorker>(download::DownloadRequest{
      NarrowThreadAcp(m_strDnldUrl), NarrowThreadAcp(m_strDnldPath), m_pDnldCurl, hwnd, m_progress,
      m_options.download});
}

void CTarnelDlg::StopDownload() {
  m_pDnldThread.reset();
  m_pDnldCurl = nullptr;
}

LRESULT CTarnelDlg::OnDnldStart(WPARAM, LPARAM) {
  m_nDnldState = 1;
  SendToPage(bridge::MakeStartNotification());
  return 0;
}

LRESULT CTarnelDlg::OnDlProgress(WPARAM wParam, LPARAM lParam) {
  // The newest counters the worker left, which may be newer than the message's.
  std::optional<download::ProgressCounters> counters;
  if (m_progress) counters = m_progress->Take();
  if (!counters) counters = download::ProgressCounters{static_cast<std::uint64_t>(wParam), static_cast<std::int64_t>(lParam)};
  SendToPage(bridge::MakeProgressNotification(counters->now, counters->total));
  return 0;
}

LRESULT CTarnelDlg::OnDnldFinished(WPARAM, LPARAM) {
  // The last counters reach the page before the finish.
  if (m_progress) {
    if (auto counters = m_progress->Take()) SendToPage(bridge::MakeProgressNotification(counters->now, counters->total));
  }
  m_nDnldState = 2;
  SendToPage(bridge::MakeFinishNotification(m_nDnldState));
  return 0;
}

LRESULT CTarnelDlg::OnDnldFailed(WPARAM, LPARAM) {
  // The job is over: a later "dnld" starts again.
  m_nDnldState = 0;
  m_bDnldStarting = false;
  SendToPage(bridge::MakeFailedNotification());
  return 0;
}

void CTarnelDlg::OnInstall() {
  // Only a finished file is run: never one still being written, nor an older
  // file of the same name.
  if (m_nDnldState != 2) {
    OnInstallFailed();
    return;
  }
  std::weak_ptr<WindowHandle> hwnd = GetSafeHwnd();
  m_platform.shell.RunElevated(m_strDnldPath, [this, hwnd] {
    if (auto window = hwnd.lock(); window && window->IsWindow()) OnInstallFailed();
  });
}

void CTarnelDlg::OnInstallFailed() {
  if (m_platform.window.MessageBox(kInstallFailedText, kInstallFailedCaption, MB_OK) == IDOK) {
    OpenDnldDir(m_strDnldPath);
  }
}

void CTarnelDlg::OpenDnldDir(const std::string& path) {
  // Before any target was chosen there is nothing to show.
  if (path.empty()) return;
  m_platform.shell.RevealFile(path);
}

}  // namespace tarnel::window
