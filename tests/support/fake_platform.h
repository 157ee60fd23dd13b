#pragma once
// A recording stand-in for the whole platform. Each operation that has an
// effect is written as one line to `calls`, which tests compare whole; tests
// deliver the events (creation, dialog initialisation, browser completions,
// page messages, posted messages) themselves.
//
// Posting is thread-safe: posts from any thread queue up and run when the test
// calls RunPosted (on the test's thread, which plays the UI thread).
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace tarnel::test {

class FakeView;
class FakeController;

class FakePlatform : public platform::IDialogWindow,
                     public platform::IBrowserPlatform,
                     public platform::IShell,
                     public platform::ISystem {
 public:
  FakePlatform();
  ~FakePlatform() override;

  platform::Platform& platform() { return platform_; }

  // Recorded lines; TakeCalls returns them and starts a new list.
  std::vector<std::string> calls;
  std::vector<std::string> TakeCalls();
  void Record(std::string line);

  // What the platform answers.
  std::string moduleFileName = "/nonexistent/tarnel";
  std::string downloadsFolder;
  platform::Dpi dpi;
  platform::Rect workArea{0, 0, 1920, 1040};
  std::function<std::optional<std::string>(const platform::SaveDialogOptions&)> saveDialog;
  int messageBoxResult = platform::IDOK;
  std::function<void()> whileMessageBox;  // runs inside MessageBox
  bool elevationRefused = false;          // RunElevated reports failure through the loop
  bool createEnvironmentFails = false;
  bool createControllerFails = false;
  std::optional<std::string> proxyAnswer;  // what ProxyForUrl answers

  // Events. Create sends WM_CREATE (a window handle exists from then on),
  // InitDialog sends WM_INITDIALOG.
  platform::LRESULT Create(platform::IMessageTarget& target);
  platform::LRESULT InitDialog();
  // Runs queued tasks (posted messages, browser completions) in order until
  // none is left or the dialog has ended; returns how many ran.
  size_t RunPosted();
  // Runs tasks as they arrive until `done` holds or the timeout passes.
  bool RunPostedUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // A page message as the browser delivers it; false when no page handler is registered.
  bool DeliverPageMessage(const std::optional<std::string>& text);
  // Ends the window: the handle is destroyed and later posts are dropped.
  void DestroyWindow();
  bool ended() const { return endResult_.has_value(); }
  std::optional<int> endResult() const { return endResult_; }
  std::string windowText() const { return windowText_; }
  platform::Rect windowRect() const { return windowRect_; }
  bool captured() const { return captured_; }
  // JSON texts the page received, in order.
  std::vector<std::string> pageMessages() const;

  // IDialogWindow
  int DoModal(platform::IMessageTarget& target) override;
  void EndDialog(int result) override;
  std::shared_ptr<platform::WindowHandle> Handle() override { return handle_; }
  void SetWindowPos(int x, int y, int cx, int cy, unsigned flags) override;
  void SetAppIcon() override;
  void ShowWindow(int command) override;
  bool IsIconic() override { return iconic_; }
  void SetWindowText(const std::string& text) override;
  std::string GetWindowText() override { return windowText_; }
  platform::Rect GetWindowRect() override { return windowRect_; }
  platform::Rect GetClientRect() override;
  platform::Point ClientToScreen(platform::Point point) override;
  void MoveWindow(const platform::Rect& rect, bool repaint) override;
  void SetCapture() override;
  void ReleaseCapture() override;
  void CenterWindow() override;
  platform::Dpi GetScreenDpi() override { return dpi; }
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  std::optional<std::string> ShowSaveDialog(const platform::SaveDialogOptions& options) override;

  // IBrowserPlatform
  void CreateEnvironment(platform::EnvironmentCompleted completed) override;
  void SetUserDataKey(const std::string& key) override { Record("SetUserDataKey " + key); }

  // IShell
  std::string GetDownloadsFolder() override { return downloadsFolder; }
  bool OpenUrl(const std::string& url) override;
  void RunElevated(const std::string& path, std::function<void()> failed) override;
  void RevealFile(const std::string& path) override;

  // ISystem
  std::string GetModuleFileName() override { return moduleFileName; }
  std::optional<std::string> ProxyForUrl(const std::string&) override { return proxyAnswer; }

  // Queues a task as the main loop would run it.
  void Schedule(std::function<void()> task);

 private:
  friend class FakeView;
  friend class FakeController;
  friend class FakeEnvironment;
  void Resize(int cx, int cy, unsigned kind);

  platform::Platform platform_;
  platform::IMessageTarget* target_ = nullptr;
  std::shared_ptr<platform::WindowHandle> handle_;
  std::shared_ptr<FakeView> view_;

  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::function<void()>> tasks_;

  std::optional<int> endResult_;
  std::string windowText_;
  platform::Rect windowRect_{0, 0, 480, 325};
  bool iconic_ = false;
  bool captured_ = false;
  std::vector<std::string> pageMessages_;
};

}  // namespace tarnel::test
