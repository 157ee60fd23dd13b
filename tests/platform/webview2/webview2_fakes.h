#pragma once
// Recording fakes of the WebView2 COM objects the host talks to. Each fake
// fills its interface table with its own functions, records the calls it
// gets and counts AddRef/Release; the test owns the fake and its first
// reference, so a balanced host leaves every count at 1.
#include "platform/win32/windows_api.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/win32/webview2/webview2_com.h"
#include "platform/win32/webview2/webview2_view.h"

namespace tarnel::platform::win32::webview2::testing {

// Queues tasks until the test runs them: nothing posted runs inside a call.
class FakeScheduler {
 public:
  UiScheduler Scheduler() {
    return [this](std::function<void()> task) { tasks_.push_back(std::move(task)); };
  }
  std::size_t Pending() const { return tasks_.size(); }
  // Runs what is queued, including what those tasks queue.
  void RunAll() {
    while (!tasks_.empty()) {
      std::function<void()> task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    }
  }
  void Drop() { tasks_.clear(); }

 private:
  std::deque<std::function<void()>> tasks_;
};

// A copy of `text` that the receiver frees with CoTaskMemFree, as the runtime hands strings out.
LPWSTR ComStringCopy(const std::wstring& text);

// The IUnknown part shared by every fake: Derived answers QueryInterface
// through `bool Answers(REFIID)`.
template <typename Derived, typename Interface>
class FakeUnknown {
 public:
  Interface* Get() { return reinterpret_cast<Interface*>(&face_); }
  ULONG References() const { return references_; }
  int AddRefs() const { return addRefs_; }
  int Releases() const { return releases_; }

 protected:
  explicit FakeUnknown(const void* table) : face_{table, static_cast<Derived*>(this)} {}
  static Derived* From(Interface* object) { return reinterpret_cast<Face*>(object)->self; }

  template <typename Table>
  static void FillUnknown(Table& table) {
    table.QueryInterface = &QueryInterface;
    table.AddRef = &AddRef;
    table.Release = &Release;
  }

 private:
  struct Face {
    const void* lpVtbl;
    Derived* self;
  };
  static HRESULT STDMETHODCALLTYPE QueryInterface(Interface* object, REFIID iid, void** result) {
    if (result == nullptr) return E_POINTER;
    if (!IsEqualIID(iid, IID_IUnknown) && !From(object)->Answers(iid)) {
      *result = nullptr;
      return E_NOINTERFACE;
    }
    AddRef(object);
    *result = object;
    return S_OK;
  }
  static ULONG STDMETHODCALLTYPE AddRef(Interface* object) {
    Derived* self = From(object);
    ++self->addRefs_;
    return ++self->references_;
  }
  static ULONG STDMETHODCALLTYPE Release(Interface* object) {
    Derived* self = From(object);
    ++self->releases_;
    return --self->references_;
  }

  Face face_;
  ULONG references_ = 1;
  int addRefs_ = 0;
  int releases_ = 0;
};

class FakeSettings : public FakeUnknown<FakeSettings, ICoreWebView2Settings> {
 public:
  FakeSettings();
  bool Answers(REFIID iid) const { return IsEqualIID(iid, kIidSettings); }
  // "name=0|1" in call order.
  std::vector<std::string> calls;
};

class FakeWebView : public FakeUnknown<FakeWebView, ICoreWebView2> {
 public:
  explicit FakeWebView(FakeSettings* settings);
  bool Answers(REFIID iid) const { return IsEqualIID(iid, kIidWebView); }

  // Raise the events through the handlers the host registered.
  void RaiseWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args);
  void RaiseNewWindow(ICoreWebView2NewWindowRequestedEventArgs* args);
  void RaiseNavigationStarting(ICoreWebView2NavigationStartingEventArgs* args);
  // Runs the completion of the last script still pending, then lets it go.
  void CompleteScript(HRESULT result, const wchar_t* json);
  // Handlers the runtime side still holds.
  int HandlersHeld() const;

  FakeSettings* settings;
  std::vector<std::wstring> navigations;
  std::vector<std::wstring> posted_json;
  ICoreWebView2WebMessageReceivedEventHandler* message_handler = nullptr;
  ICoreWebView2NewWindowRequestedEventHandler* new_window_handler = nullptr;
  ICoreWebView2NavigationStartingEventHandler* navigation_handler = nullptr;
  // Scripts run, in order. A script completes inside the call with
  // script_answer unless scripts_wait; then it waits for CompleteScript.
  std::vector<std::wstring> scripts;
  HRESULT script_result = S_OK;
  bool scripts_wait = false;
  std::wstring script_answer = L"null";
  ICoreWebView2ExecuteScriptCompletedHandler* script_handler = nullptr;
  int message_registrations = 0;
  int removals = 0;
};

class FakeController : public FakeUnknown<FakeController, ICoreWebView2Controller> {
 public:
  // `with_controller2`: answers ICoreWebView2Controller2.
  FakeController(FakeWebView* view, bool with_controller2);
  bool Answers(REFIID iid) const {
    return IsEqualIID(iid, kIidController) || (with_controller2 && IsEqualIID(iid, kIidController2));
  }

  FakeWebView* view;
  bool with_controller2;
  HRESULT get_webview_result = S_OK;
  std::vector<BOOL> visibility;
  std::vector<RECT> bounds;
  std::vector<COREWEBVIEW2_COLOR> backgrounds;
  int closes = 0;
  // Set when the first navigation already happened as a background was set.
  bool background_after_navigation = false;

 private:
  ICoreWebView2Controller2Vtbl table_{};
};

class FakeEnvironment : public FakeUnknown<FakeEnvironment, ICoreWebView2Environment> {
 public:
  FakeEnvironment();
  bool Answers(REFIID iid) const { return IsEqualIID(iid, kIidEnvironment); }
  // Invokes the handler of the last CreateCoreWebView2Controller call, then lets it go.
  void CompleteController(HRESULT result, ICoreWebView2Controller* controller);

  HRESULT create_result = S_OK;
  std::vector<HWND> parents;
  ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler = nullptr;
};

class FakeMessageArgs : public FakeUnknown<FakeMessageArgs, ICoreWebView2WebMessageReceivedEventArgs> {
 public:
  // No text: the page posted a non-string.
  FakeMessageArgs(std::wstring source, std::optional<std::wstring> text);
  bool Answers(REFIID iid) const { return IsEqualIID(iid, kIidWebMessageReceivedEventArgs); }

  std::wstring source;
  std::optional<std::wstring> text;
  int string_reads = 0;
};

class FakeNewWindowArgs : public FakeUnknown<FakeNewWindowArgs, ICoreWebView2NewWindowRequestedEventArgs> {
 public:
  explicit FakeNewWindowArgs(std::wstring uri);
  bool Answers(REFIID iid) const { return IsEqualIID(iid, kIidNewWindowRequestedEventArgs); }

  std::wstring uri;
  std::vector<BOOL> handled;
  int new_windows_given = 0;
};

class FakeNavigationArgs : public FakeUnknown<FakeNavigationArgs, ICoreWebView2NavigationStartingEventArgs> {
 public:
  FakeNavigationArgs(std::wstring uri, bool user_initiated);
  bool Answers(REFIID iid) const { return IsEqualIID(iid, kIidNavigationStartingEventArgs); }

  std::wstring uri;
  bool user_initiated;
  std::vector<BOOL> cancels;
};

}  // namespace tarnel::platform::win32::webview2::testing
