// The download job and the shell actions that use its file.
#include <cstdio>
#include <stdexcept>

#include "bridge/notifications.h"
#include "bridge/page_message.h"
#include "download/file_name.h"
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
  std::optional<download::Sha256Digest> sha256;
  if (data.contains("sha256")) {
    sha256 = download::ParseSha256Hex(bridge::ReadString(data, "sha256"));
    if (!sha256) throw std::invalid_argument("sha256 must be 64 hexadecimal digits");
  }
  m_strDnldUrl = WidenThreadAcp(url);
  m_dnldSha256 = sha256;
  StartDownload(silent);
}

void CTarnelDlg::StartDownload(bool silent) {
  m_bDnldStarting = true;
  m_strDnldPath.clear();
  const std::string folder = m_platform.shell.GetDownloadsFolder();
  const std::string name = download::FileNameFromUrl(m_strDnldUrl);

  // A silent download never replaces a file; one the user chose may.
  bool replaceExisting = false;
  if (silent && !folder.empty()) {
    m_strDnldPath = download::JoinFolder(folder, name);
  } else {
    SaveDialogOptions options;
    options.defaultExtension = "txt";
    options.initialName = name;
    options.overwritePrompt = true;
    options.filters = {{"应用程序(*.exe)", "*.exe"}, {"所有文件(*.*)", "*.*"}};
    std::optional<std::string> chosen;
    RunModal("save dialog", [&] { chosen = m_platform.window.ShowSaveDialog(options); });
    if (!chosen) {
      m_bDnldStarting = false;
      return;
    }
    m_strDnldPath = *chosen;
    replaceExisting = true;
  }

  auto hwnd = GetSafeHwnd();
  if (hwnd) hwnd->PostMessage(WM_DNLD_START, 0, 0);

  download::JobRequest request;
  request.url = NarrowThreadAcp(m_strDnldUrl);
  request.path = NarrowThreadAcp(m_strDnldPath);
  request.replaceExisting = replaceExisting;
  request.expectedSha256 = m_dnldSha256;
  request.window = hwnd;
  request.limits = m_options.download;
  request.proxy = m_options.transfer.proxy;
  // Only a part of this very URL and target is resumed; any other goes.
  if (m_keptPart && (m_keptPart->url != request.url || m_keptPart->target != request.path)) {
    download::RemoveIfSame(m_keptPart->partPath, m_keptPart->identity);
    m_keptPart.reset();
  }
  request.resume = std::exchange(m_keptPart, std::nullopt);
  // A previous, ended job is joined first.
  m_pDnldThread.reset();
  m_pDnldThread = std::make_unique<download::DownloadJob>(std::move(request), m_options.downloadHooks);
}

void CTarnelDlg::StopDownload() {
  if (m_pDnldThread) {
    if (auto kept = m_pDnldThread->TakeKeptPart(); kept && !m_keptPart) m_keptPart = std::move(kept);
  }
  m_pDnldThread.reset();
}

void CTarnelDlg::OnDnldCancel() {
  // With no job transferring or waiting there is nothing to stop.
  if (!m_pDnldThread) return;
  const download::JobState state = m_pDnldThread->State();
  if (state == download::JobState::kRunning || state == download::JobState::kWaiting) m_pDnldThread->Cancel();
}

LRESULT CTarnelDlg::OnDnldStart(WPARAM, LPARAM) {
  m_nDnldState = 1;
  SendToPage(bridge::MakeStartNotification());
  return 0;
}

LRESULT CTarnelDlg::OnDlProgress(WPARAM, LPARAM) {
  // The job's mailbox is the one source of the counters: the newest ones the
  // worker left, none when they have been sent already (say, just before the
  // finish). The message's own counters may be older.
  std::optional<download::ProgressCounters> counters;
  if (m_pDnldThread) counters = m_pDnldThread->TakeProgress();
  if (counters) SendToPage(bridge::MakeProgressNotification(counters->now, counters->total));
  return 0;
}

LRESULT CTarnelDlg::OnDnldFinished(WPARAM, LPARAM) {
  if (m_pDnldThread && m_nDnldState != 2) {
    // The last counters reach the page before the finish, and "install" runs
    // the file where it really is (a silent download may have taken "name (1)").
    if (auto counters = m_pDnldThread->TakeProgress()) {
      SendToPage(bridge::MakeProgressNotification(counters->now, counters->total));
    }
    const download::JobOutcome outcome = m_pDnldThread->Outcome();
    if (outcome.state == download::JobState::kFinished) {
      m_strDnldPath = WidenThreadAcp(outcome.finalPath);
      m_dnldIdentity = outcome.finalIdentity;
    }
  }
  m_nDnldState = 2;
  SendToPage(bridge::MakeFinishNotification(m_nDnldState));
  return 0;
}

LRESULT CTarnelDlg::OnDnldFailed(WPARAM wParam, LPARAM lParam) {
  // The job is over: a later "dnld" starts again, resuming what it kept.
  m_nDnldState = 0;
  m_bDnldStarting = false;
  StopDownload();
  SendToPage(bridge::MakeFailedNotification(static_cast<download::FailureReason>(wParam), static_cast<long>(lParam)));
  return 0;
}

void CTarnelDlg::OnInstall() {
  // Only a finished file is run: never one still being written, nor an older
  // file of the same name.
  // And only while it is still that file: replaced, relinked or changed
  // since the finish, it is not run.
  if (m_nDnldState != 2 ||
      !download::MakeRunnableIfUnchanged(NarrowThreadAcp(m_strDnldPath), m_dnldIdentity, m_dnldSha256)) {
    OnInstallFailed();
    return;
  }
  std::weak_ptr<WindowHandle> hwnd = GetSafeHwnd();
  m_platform.shell.RunElevated(m_strDnldPath, [this, hwnd] {
    if (auto window = hwnd.lock(); window && window->IsWindow()) OnInstallFailed();
  });
}

void CTarnelDlg::OnInstallFailed() {
  int result = 0;
  if (!RunModal("message box",
                [&] { result = m_platform.window.MessageBox(kInstallFailedText, kInstallFailedCaption, MB_OK); })) {
    return;
  }
  if (result == IDOK) OpenDnldDir(m_strDnldPath);
}

bool CTarnelDlg::RunModal(const char* what, const std::function<void()>& dialog) {
  if (m_bModalOpen) {
    std::fprintf(stderr, "tarnel: %s not shown: another dialog is open\n", what);
    return false;
  }
  m_bModalOpen = true;
  dialog();
  m_bModalOpen = false;
  return true;
}

void CTarnelDlg::OpenDnldDir(const std::string& path) {
  // Before any target was chosen there is nothing to show.
  if (path.empty()) return;
  m_platform.shell.RevealFile(path);
}

}  // namespace tarnel::window
