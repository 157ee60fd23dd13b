#include "support/fake_platform.h"

#include <algorithm>

namespace tarnel::test {

using namespace platform;

namespace {
std::string RectText(const Rect& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
         std::to_string(r.bottom);
}
std::string Flag(bool value) { return value ? "1" : "0"; }
// Window positions stay in the 16-bit range X11 gives them.
int Clamp16(int value) { return std::max(-32768, std::min(32767, value)); }
Rect ClampRect(const Rect& r) { return Rect{Clamp16(r.left), Clamp16(r.top), Clamp16(r.right), Clamp16(r.bottom)}; }
}  // namespace

class FakeSettings : public IWebViewSettings {
 public:
  explicit FakeSettings(FakePlatform& p) : p_(p) {}
  void PutIsScriptEnabled(bool v) override { p_.Record("Settings.IsScriptEnabled " + Flag(v)); }
  void PutAreDefaultScriptDialogsEnabled(bool v) override {
    p_.Record("Settings.AreDefaultScriptDialogsEnabled " + Flag(v));
  }
  void PutIsWebMessageEnabled(bool v) override { p_.Record("Settings.IsWebMessageEnabled " + Flag(v)); }
  void PutAreDevToolsEnabled(bool v) override { p_.Record("Settings.AreDevToolsEnabled " + Flag(v)); }
  void PutAreDefaultContextMenusEnabled(bool v) override {
    p_.Record("Settings.AreDefaultContextMenusEnabled " + Flag(v));
  }

 private:
  FakePlatform& p_;
};

class FakeView : public IWebView {
 public:
  explicit FakeView(FakePlatform& p) : p_(p), settings_(p) {}
  IWebViewSettings& GetSettings() override { return settings_; }
  void Navigate(const std::string& url) override { p_.Record("Navigate " + url); }
  void AddWebMessageReceived(WebMessageReceived handler) override {
    p_.Record("AddWebMessageReceived");
    handler_ = std::move(handler);
  }
  void PostWebMessageAsJson(const std::string& json) override {
    p_.Record("PostWebMessageAsJson " + json);
    std::lock_guard lock(p_.mutex_);
    p_.pageMessages_.push_back(json);
  }
  WebMessageReceived handler_;

 private:
  FakePlatform& p_;
  FakeSettings settings_;
};

class FakeController : public IWebController {
 public:
  FakeController(FakePlatform& p, std::shared_ptr<FakeView> view) : p_(p), view_(std::move(view)) {}
  std::shared_ptr<IWebView> GetCoreWebView2() override { return view_; }
  void PutBounds(const Rect& bounds) override { p_.Record("PutBounds " + RectText(bounds)); }

 private:
  FakePlatform& p_;
  std::shared_ptr<FakeView> view_;
};

class FakeEnvironment : public IWebEnvironment {
 public:
  explicit FakeEnvironment(FakePlatform& p) : p_(p) {}
  void CreateController(ControllerCompleted completed) override {
    p_.Record("CreateController");
    // The environment may be gone when the task runs; only the platform is used.
    p_.Schedule([&p = p_, completed = std::move(completed)] {
      if (p.createControllerFails) return completed(nullptr);
      p.view_ = std::make_shared<FakeView>(p);
      completed(std::make_shared<FakeController>(p, p.view_));
    });
  }

 private:
  FakePlatform& p_;
};

FakePlatform::FakePlatform() : platform_{*this, *this, *this, *this} {}

FakePlatform::~FakePlatform() { DestroyWindow(); }

std::vector<std::string> FakePlatform::TakeCalls() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> result;
  result.swap(calls);
  return result;
}

void FakePlatform::Record(std::string line) {
  std::lock_guard lock(mutex_);
  calls.push_back(std::move(line));
}

std::vector<std::string> FakePlatform::pageMessages() const {
  std::lock_guard lock(mutex_);
  return pageMessages_;
}

void FakePlatform::Schedule(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    tasks_.push_back(std::move(task));
  }
  arrived_.notify_all();
}

LRESULT FakePlatform::Create(IMessageTarget& target) {
  target_ = &target;
  handle_ = WindowHandle::Create([this](std::function<void()> task) { Schedule(std::move(task)); },
                                 [this](std::uint32_t m, WPARAM w, LPARAM l) { return target_->WindowProc(m, w, l); });
  return handle_->SendMessage(WM_CREATE, 0, 0);
}

LRESULT FakePlatform::InitDialog() { return handle_->SendMessage(WM_INITDIALOG, 0, 0); }

size_t FakePlatform::RunPosted() {
  size_t count = 0;
  while (!ended()) {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) break;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    ++count;
  }
  return count;
}

bool FakePlatform::RunPostedUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    RunPosted();
    if (done()) return true;
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_until(lock, deadline, [this] { return !tasks_.empty(); })) return done();
  }
}

bool FakePlatform::DeliverPageMessage(const std::optional<std::string>& text) {
  if (!view_ || !view_->handler_) return false;
  view_->handler_(text);
  return true;
}

void FakePlatform::DestroyWindow() {
  if (handle_) handle_->Destroy();
}

int FakePlatform::DoModal(IMessageTarget& target) {
  Record("DoModal");
  if (Create(target) == -1) {
    DestroyWindow();
    return -1;
  }
  InitDialog();
  RunPosted();
  DestroyWindow();
  return endResult_.value_or(-1);
}

void FakePlatform::EndDialog(int result) {
  Record("EndDialog " + std::to_string(result));
  endResult_ = result;
}

void FakePlatform::Resize(int cx, int cy, unsigned kind) {
  if (handle_) handle_->SendMessage(WM_SIZE, kind, MakeSizeLParam(cx, cy));
}

void FakePlatform::SetWindowPos(int x, int y, int cx, int cy, unsigned flags) {
  Record("SetWindowPos " + std::to_string(x) + " " + std::to_string(y) + " " + std::to_string(cx) + " " +
         std::to_string(cy) + " " + std::to_string(flags));
  Rect r = windowRect_;
  if (!(flags & SWP_NOMOVE)) r = Rect{x, y, x + r.Width(), y + r.Height()};
  if (!(flags & SWP_NOSIZE)) r.right = r.left + cx, r.bottom = r.top + cy;
  r = ClampRect(r);
  const bool resized = r.Width() != windowRect_.Width() || r.Height() != windowRect_.Height();
  windowRect_ = r;
  if (resized) Resize(r.Width(), r.Height(), SIZE_RESTORED);
}

void FakePlatform::SetAppIcon() { Record("SetAppIcon"); }

void FakePlatform::ShowWindow(int command) {
  Record("ShowWindow " + std::to_string(command));
  iconic_ = command == SW_SHOWMINIMIZED || command == SW_SHOWMINNOACTIVE;
  if (command == SW_SHOWMAXIMIZED) {
    windowRect_ = workArea;
    Resize(windowRect_.Width(), windowRect_.Height(), SIZE_MAXIMIZED);
  } else if (command == SW_SHOWMINIMIZED) {
    Resize(0, 0, SIZE_MINIMIZED);
  } else if (command == SW_SHOWNORMAL) {
    Resize(windowRect_.Width(), windowRect_.Height(), SIZE_RESTORED);
  }
}

void FakePlatform::SetWindowText(const std::string& text) {
  Record("SetWindowText " + text);
  windowText_ = text;
}

Rect FakePlatform::GetClientRect() { return Rect{0, 0, windowRect_.Width(), windowRect_.Height()}; }

Point FakePlatform::ClientToScreen(Point point) { return Point{point.x + windowRect_.left, point.y + windowRect_.top}; }

void FakePlatform::MoveWindow(const Rect& rect, bool repaint) {
  Record("MoveWindow " + RectText(rect) + " " + Flag(repaint));
  windowRect_ = ClampRect(rect);
}

void FakePlatform::SetCapture() {
  Record("SetCapture");
  captured_ = true;
}

void FakePlatform::ReleaseCapture() {
  Record("ReleaseCapture");
  captured_ = false;
}

void FakePlatform::CenterWindow() {
  Record("CenterWindow");
  const int w = windowRect_.Width(), h = windowRect_.Height();
  int left = workArea.left + (workArea.Width() - w) / 2;
  int top = workArea.top + (workArea.Height() - h) / 2;
  left = std::max(workArea.left, std::min(left, workArea.right - w));
  top = std::max(workArea.top, std::min(top, workArea.bottom - h));
  windowRect_ = Rect{left, top, left + w, top + h};
}

int FakePlatform::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
  Record("MessageBox " + text + " | " + caption + " | " + std::to_string(type));
  // Like a real box, its nested loop may go on delivering page messages.
  if (whileMessageBox) whileMessageBox();
  return messageBoxResult;
}

std::optional<std::string> FakePlatform::ShowSaveDialog(const SaveDialogOptions& options) {
  std::string line = "ShowSaveDialog " + options.initialName + " ext=" + options.defaultExtension +
                     " overwritePrompt=" + Flag(options.overwritePrompt);
  for (const auto& f : options.filters) line += " [" + f.name + "|" + f.pattern + "]";
  Record(line);
  return saveDialog ? saveDialog(options) : std::nullopt;
}

void FakePlatform::CreateEnvironment(EnvironmentCompleted completed) {
  Record("CreateEnvironment");
  Schedule([this, completed = std::move(completed)] {
    if (createEnvironmentFails) return completed(nullptr);
    completed(std::make_shared<FakeEnvironment>(*this));
  });
}

bool FakePlatform::OpenUrl(const std::string& url) {
  Record("OpenUrl " + url);
  return true;
}

void FakePlatform::RunElevated(const std::string& path, std::function<void()> failed) {
  Record("RunElevated " + path);
  if (elevationRefused) Schedule(std::move(failed));
}

void FakePlatform::RevealFile(const std::string& path) { Record("RevealFile " + path); }

}  // namespace tarnel::test
