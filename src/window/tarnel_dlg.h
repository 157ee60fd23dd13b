#pragma once
// The main window: a borderless dialog filled by the embedded browser, driven
// by the page's messages. Every member runs on the UI thread; the download
// worker never touches this object (it posts to the window handle).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "download/download_job.h"
#include "download/download_messages.h"
#include "download/transfer_limits.h"
#include "platform/geometry.h"
#include "platform/messages.h"
#include "service/event_sender.h"
#include "service/transfer_settings.h"
#include "window/dialog_ex.h"
#include "window/ui_thread.h"

typedef void CURL;

namespace tarnel::window {

using download::WM_DL_PROGRESS;
using download::WM_DNLD_FAILED;
using download::WM_DNLD_FINISHED;
using download::WM_DNLD_START;

inline constexpr int IDR_MAINFRAME = 128;

// Settings a test may change; a real run keeps the defaults.
struct DlgOptions {
  std::string logUrl;                  // empty: the build's log address
  service::TransferSettings transfer;  // service calls
  std::chrono::milliseconds reportDrainBudget{2000};
  download::TransferLimits download;  // the download job's transfer
  download::JobHooks downloadHooks;   // the download job's waits
};

class CTarnelDlg : public CDialogEx {
 public:
  explicit CTarnelDlg(platform::Platform& platform, DlgOptions options = {});
  ~CTarnelDlg() override;
  CTarnelDlg(const CTarnelDlg&) = delete;
  CTarnelDlg& operator=(const CTarnelDlg&) = delete;

  // The message map: routes each window message to its handler.
  platform::LRESULT WindowProc(std::uint32_t message, platform::WPARAM wParam, platform::LPARAM lParam) override;

  // The page's message text, or nothing when the page posted a non-string.
  void OnWebMessage(const std::optional<std::string>& text);

  // Read-only views for tests and diagnostics.
  const std::string& PageUrl() const { return m_strPageUrl; }
  const std::string& InfoUrl() const { return m_strInfoUrl; }
  const std::string& Uuid() const { return m_strUuid; }
  unsigned DownloaderId() const { return m_nDownloaderId; }
  unsigned DnldState() const { return m_nDnldState; }
  const std::string& DnldPath() const { return m_strDnldPath; }
  bool Dragging() const { return m_bDragging; }

 protected:
  int OnCreate() override;
  bool OnInitDialog() override;

 private:
  // Window messages.
  void OnSize(unsigned nType, int cx, int cy);
  void OnLButtonDown(unsigned nFlags, platform::Point point);
  void OnLButtonUp(unsigned nFlags, platform::Point point);
  void OnMouseMove(unsigned nFlags, platform::Point point);
  platform::LRESULT OnDnldStart(platform::WPARAM wParam, platform::LPARAM lParam);
  platform::LRESULT OnDlProgress(platform::WPARAM wParam, platform::LPARAM lParam);
  platform::LRESULT OnDnldFinished(platform::WPARAM wParam, platform::LPARAM lParam);
  platform::LRESULT OnDnldFailed(platform::WPARAM wParam, platform::LPARAM lParam);

  // Browser creation.
  void OnEnvironmentCreated(std::shared_ptr<platform::IWebEnvironment> environment);
  void OnControllerCreated(std::shared_ptr<platform::IWebController> controller);

  // Configuration and the service.
  void LoadConfig();
  void RequestInfo();
  void ReportEvent(std::string event);

  // Page actions.
  void DispatchPageMessage(const std::string& type, nlohmann::json& data);
  void OnOpenUrl(nlohmann::json& data);
  void OnInstall();
  void OnInstallFailed();
  void OnDnld(nlohmann::json& data);
  void OnDnldCancel();
  void OnPostData(nlohmann::json& data);
  void OnClose(nlohmann::json& data);
  void OnResizeWindow(nlohmann::json& data);
  void OnMouseCommand(std::uint32_t message, nlohmann::json& data, bool armDrag);
  void OpenDnldDir(const std::string& path);
  // Runs a modal dialog unless one is open already: each runs a nested main
  // loop that goes on dispatching page messages, so one more per message
  // would grow the stack without bound. False when it was not run.
  bool RunModal(const char* what, const std::function<void()>& dialog);
  void SendToPage(const nlohmann::json& notification);

  // The download job.
  void StartDownload(bool silent);
  void StopDownload();

  // The state record.
  int m_hIcon;
  std::string m_strInfoUrl;
  std::string m_strPageUrl;
  std::string m_strDnldPath;
  std::string m_strDnldUrl;
  std::string m_strUuid;
  unsigned m_nDefWidth;
  unsigned m_nDefHeight;
  unsigned m_nDownloaderId;
  std::shared_ptr<platform::IWebController> m_controller;
  std::shared_ptr<platform::IWebView> m_webView;
  bool m_bDragging;
  platform::Point m_ptDragLast;
  // Each attempt of the job makes and owns its own transfer handle, so the
  // window never holds one.
  CURL* m_pDnldCurl;
  std::unique_ptr<download::DownloadJob> m_pDnldThread;
  unsigned m_nDnldState;

  // Beyond the record: a job counts as started from StartDownload on, so a
  // second "dnld" while the save dialog is open cannot start another.
  bool m_bDnldStarting = false;
  bool m_bModalOpen = false;
  // The SHA-256 the page gave with the "dnld" being started.
  std::optional<download::Sha256Digest> m_dnldSha256;
  // The finished file as the job wrote it: only that file is run elevated.
  download::FileIdentity m_dnldIdentity;
  // What a job that failed on the network left, for a later "dnld" of the
  // same URL and target to resume; removed when the window goes.
  std::optional<download::KeptPart> m_keptPart;
  DlgOptions m_options;
  service::EventSender m_eventSender;
  const UiThread m_uiThread;  // the thread that made the window
};

}  // namespace tarnel::window
