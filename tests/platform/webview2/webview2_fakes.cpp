#include "webview2_fakes.h"

#include <objbase.h>

#include <cstring>

namespace tarnel::platform::win32::webview2::testing {
namespace {

template <typename Handler>
void ReleaseHandler(Handler*& handler) {
  if (Handler* held = std::exchange(handler, nullptr)) held->lpVtbl->Release(held);
}

}  // namespace

LPWSTR ComStringCopy(const std::wstring& text) {
  const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
  auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
  if (copy != nullptr) std::memcpy(copy, text.c_str(), bytes);
  return copy;
}

namespace {

template <typename Fake, typename Interface>
Fake* SelfOf(Interface* object) {
  struct Face {
    const void* lpVtbl;
    Fake* self;
  };
  return reinterpret_cast<Face*>(object)->self;
}

}  // namespace

// ---- settings ----

namespace {

HRESULT Record(ICoreWebView2Settings* object, const char* name, BOOL value) {
  SelfOf<FakeSettings>(object)->calls.push_back(std::string(name) + (value ? "=1" : "=0"));
  return S_OK;
}

}  // namespace

FakeSettings::FakeSettings()
    : FakeUnknown([] {
        static const ICoreWebView2SettingsVtbl table = [] {
          ICoreWebView2SettingsVtbl t{};
          FillUnknown(t);
          t.put_IsScriptEnabled = [](ICoreWebView2Settings* s, BOOL v) -> HRESULT {
            return Record(s, "IsScriptEnabled", v);
          };
          t.put_IsWebMessageEnabled = [](ICoreWebView2Settings* s, BOOL v) -> HRESULT {
            return Record(s, "IsWebMessageEnabled", v);
          };
          t.put_AreDefaultScriptDialogsEnabled = [](ICoreWebView2Settings* s, BOOL v) -> HRESULT {
            return Record(s, "AreDefaultScriptDialogsEnabled", v);
          };
          t.put_AreDevToolsEnabled = [](ICoreWebView2Settings* s, BOOL v) -> HRESULT {
            return Record(s, "AreDevToolsEnabled", v);
          };
          t.put_AreDefaultContextMenusEnabled = [](ICoreWebView2Settings* s, BOOL v) -> HRESULT {
            return Record(s, "AreDefaultContextMenusEnabled", v);
          };
          return t;
        }();
        return static_cast<const void*>(&table);
      }()) {}

// ---- web view ----

FakeWebView::FakeWebView(FakeSettings* settings_object)
    : FakeUnknown([] {
        static const ICoreWebView2Vtbl table = [] {
          ICoreWebView2Vtbl t{};
          FillUnknown(t);
          t.get_Settings = [](ICoreWebView2* v, ICoreWebView2Settings** out) -> HRESULT {
            FakeSettings* settings = SelfOf<FakeWebView>(v)->settings;
            if (settings == nullptr) return E_FAIL;
            settings->Get()->lpVtbl->AddRef(settings->Get());
            *out = settings->Get();
            return S_OK;
          };
          t.Navigate = [](ICoreWebView2* v, LPCWSTR uri) -> HRESULT {
            SelfOf<FakeWebView>(v)->navigations.emplace_back(uri);
            return S_OK;
          };
          t.ExecuteScript = [](ICoreWebView2* v, LPCWSTR script,
                               ICoreWebView2ExecuteScriptCompletedHandler* h) -> HRESULT {
            FakeWebView* self = SelfOf<FakeWebView>(v);
            self->scripts.emplace_back(script);
            if (FAILED(self->script_result)) return self->script_result;
            if (!self->scripts_wait) return h->lpVtbl->Invoke(h, S_OK, self->script_answer.c_str());
            ReleaseHandler(self->script_handler);
            h->lpVtbl->AddRef(h);
            self->script_handler = h;
            return S_OK;
          };
          t.PostWebMessageAsJson = [](ICoreWebView2* v, LPCWSTR json) -> HRESULT {
            SelfOf<FakeWebView>(v)->posted_json.emplace_back(json);
            return S_OK;
          };
          t.add_NavigationStarting = [](ICoreWebView2* v, ICoreWebView2NavigationStartingEventHandler* h,
                                        EventRegistrationToken* token) -> HRESULT {
            FakeWebView* self = SelfOf<FakeWebView>(v);
            ReleaseHandler(self->navigation_handler);
            h->lpVtbl->AddRef(h);
            self->navigation_handler = h;
            token->value = 7;
            return S_OK;
          };
          t.remove_NavigationStarting = [](ICoreWebView2* v, EventRegistrationToken token) -> HRESULT {
            FakeWebView* self = SelfOf<FakeWebView>(v);
            if (token.value != 7) return E_INVALIDARG;
            ++self->removals;
            ReleaseHandler(self->navigation_handler);
            return S_OK;
          };
          t.add_WebMessageReceived = [](ICoreWebView2* v, ICoreWebView2WebMessageReceivedEventHandler* h,
                                        EventRegistrationToken* token) -> HRESULT {
            FakeWebView* self = SelfOf<FakeWebView>(v);
            ++self->message_registrations;
            ReleaseHandler(self->message_handler);
            h->lpVtbl->AddRef(h);
            self->message_handler = h;
            token->value = 34;
            return S_OK;
          };
          t.remove_WebMessageReceived = [](ICoreWebView2* v, EventRegistrationToken token) -> HRESULT {
            FakeWebView* self = SelfOf<FakeWebView>(v);
            if (token.value != 34) return E_INVALIDARG;
            ++self->removals;
            ReleaseHandler(self->message_handler);
            return S_OK;
          };
          t.add_NewWindowRequested = [](ICoreWebView2* v, ICoreWebView2NewWindowRequestedEventHandler* h,
                                        EventRegistrationToken* token) -> HRESULT {
            FakeWebView* self = SelfOf<FakeWebView>(v);
            ReleaseHandler(self->new_window_handler);
            h->lpVtbl->AddRef(h);
            self->new_window_handler = h;
            token->value = 44;
            return S_OK;
          };
          t.remove_NewWindowRequested = [](ICoreWebView2* v, EventRegistrationToken token) -> HRESULT {
            FakeWebView* self = SelfOf<FakeWebView>(v);
            if (token.value != 44) return E_INVALIDARG;
            ++self->removals;
            ReleaseHandler(self->new_window_handler);
            return S_OK;
          };
          return t;
        }();
        return static_cast<const void*>(&table);
      }()),
      settings(settings_object) {}

void FakeWebView::RaiseWebMessage(ICoreWebView2WebMessageReceivedEventArgs* args) {
  if (message_handler != nullptr) message_handler->lpVtbl->Invoke(message_handler, Get(), args);
}

void FakeWebView::RaiseNewWindow(ICoreWebView2NewWindowRequestedEventArgs* args) {
  if (new_window_handler != nullptr) new_window_handler->lpVtbl->Invoke(new_window_handler, Get(), args);
}

void FakeWebView::RaiseNavigationStarting(ICoreWebView2NavigationStartingEventArgs* args) {
  if (navigation_handler != nullptr) navigation_handler->lpVtbl->Invoke(navigation_handler, Get(), args);
}

void FakeWebView::CompleteScript(HRESULT result, const wchar_t* json) {
  if (script_handler == nullptr) return;
  script_handler->lpVtbl->Invoke(script_handler, result, json);
  ReleaseHandler(script_handler);
}

int FakeWebView::HandlersHeld() const {
  return (message_handler != nullptr ? 1 : 0) + (new_window_handler != nullptr ? 1 : 0) +
         (navigation_handler != nullptr ? 1 : 0) + (script_handler != nullptr ? 1 : 0);
}

// ---- controller ----

FakeController::FakeController(FakeWebView* view_object, bool controller2)
    : FakeUnknown(&table_), view(view_object), with_controller2(controller2) {
  ICoreWebView2ControllerVtbl& t = table_.controller;
  FillUnknown(t);
  t.put_IsVisible = [](ICoreWebView2Controller* c, BOOL visible) -> HRESULT {
    SelfOf<FakeController>(c)->visibility.push_back(visible);
    return S_OK;
  };
  t.put_Bounds = [](ICoreWebView2Controller* c, RECT rect) -> HRESULT {
    SelfOf<FakeController>(c)->bounds.push_back(rect);
    return S_OK;
  };
  t.Close = [](ICoreWebView2Controller* c) -> HRESULT {
    ++SelfOf<FakeController>(c)->closes;
    return S_OK;
  };
  t.get_CoreWebView2 = [](ICoreWebView2Controller* c, ICoreWebView2** out) -> HRESULT {
    FakeController* self = SelfOf<FakeController>(c);
    *out = nullptr;
    if (FAILED(self->get_webview_result)) return self->get_webview_result;
    self->view->Get()->lpVtbl->AddRef(self->view->Get());
    *out = self->view->Get();
    return S_OK;
  };
  table_.put_DefaultBackgroundColor = [](ICoreWebView2Controller2* c, COREWEBVIEW2_COLOR color) -> HRESULT {
    FakeController* self = SelfOf<FakeController>(c);
    self->backgrounds.push_back(color);
    if (!self->view->navigations.empty()) self->background_after_navigation = true;
    return S_OK;
  };
}

// ---- environment ----

FakeEnvironment::FakeEnvironment()
    : FakeUnknown([] {
        static const ICoreWebView2EnvironmentVtbl table = [] {
          ICoreWebView2EnvironmentVtbl t{};
          FillUnknown(t);
          t.CreateCoreWebView2Controller = [](ICoreWebView2Environment* e, HWND parent,
                                              ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* h) -> HRESULT {
            FakeEnvironment* self = SelfOf<FakeEnvironment>(e);
            self->parents.push_back(parent);
            if (FAILED(self->create_result)) return self->create_result;
            ReleaseHandler(self->handler);
            h->lpVtbl->AddRef(h);
            self->handler = h;
            return S_OK;
          };
          return t;
        }();
        return static_cast<const void*>(&table);
      }()) {}

void FakeEnvironment::CompleteController(HRESULT result, ICoreWebView2Controller* controller) {
  if (handler == nullptr) return;
  handler->lpVtbl->Invoke(handler, result, controller);
  ReleaseHandler(handler);
}

// ---- event arguments ----

FakeMessageArgs::FakeMessageArgs(std::wstring source_text, std::optional<std::wstring> message)
    : FakeUnknown([] {
        static const ICoreWebView2WebMessageReceivedEventArgsVtbl table = [] {
          ICoreWebView2WebMessageReceivedEventArgsVtbl t{};
          FillUnknown(t);
          t.get_Source = [](ICoreWebView2WebMessageReceivedEventArgs* a, LPWSTR* out) -> HRESULT {
            *out = ComStringCopy(SelfOf<FakeMessageArgs>(a)->source);
            return S_OK;
          };
          t.TryGetWebMessageAsString = [](ICoreWebView2WebMessageReceivedEventArgs* a, LPWSTR* out) -> HRESULT {
            FakeMessageArgs* self = SelfOf<FakeMessageArgs>(a);
            ++self->string_reads;
            *out = nullptr;
            if (!self->text) return E_INVALIDARG;
            *out = ComStringCopy(*self->text);
            return S_OK;
          };
          return t;
        }();
        return static_cast<const void*>(&table);
      }()),
      source(std::move(source_text)),
      text(std::move(message)) {}

FakeNewWindowArgs::FakeNewWindowArgs(std::wstring address)
    : FakeUnknown([] {
        static const ICoreWebView2NewWindowRequestedEventArgsVtbl table = [] {
          ICoreWebView2NewWindowRequestedEventArgsVtbl t{};
          FillUnknown(t);
          t.get_Uri = [](ICoreWebView2NewWindowRequestedEventArgs* a, LPWSTR* out) -> HRESULT {
            *out = ComStringCopy(SelfOf<FakeNewWindowArgs>(a)->uri);
            return S_OK;
          };
          t.put_NewWindow = [](ICoreWebView2NewWindowRequestedEventArgs* a, ICoreWebView2*) -> HRESULT {
            ++SelfOf<FakeNewWindowArgs>(a)->new_windows_given;
            return S_OK;
          };
          t.put_Handled = [](ICoreWebView2NewWindowRequestedEventArgs* a, BOOL handled) -> HRESULT {
            SelfOf<FakeNewWindowArgs>(a)->handled.push_back(handled);
            return S_OK;
          };
          return t;
        }();
        return static_cast<const void*>(&table);
      }()),
      uri(std::move(address)) {}

FakeNavigationArgs::FakeNavigationArgs(std::wstring address, bool by_user)
    : FakeUnknown([] {
        static const ICoreWebView2NavigationStartingEventArgsVtbl table = [] {
          ICoreWebView2NavigationStartingEventArgsVtbl t{};
          FillUnknown(t);
          t.get_Uri = [](ICoreWebView2NavigationStartingEventArgs* a, LPWSTR* out) -> HRESULT {
            *out = ComStringCopy(SelfOf<FakeNavigationArgs>(a)->uri);
            return S_OK;
          };
          t.get_IsUserInitiated = [](ICoreWebView2NavigationStartingEventArgs* a, BOOL* out) -> HRESULT {
            *out = SelfOf<FakeNavigationArgs>(a)->user_initiated ? TRUE : FALSE;
            return S_OK;
          };
          t.put_Cancel = [](ICoreWebView2NavigationStartingEventArgs* a, BOOL cancel) -> HRESULT {
            SelfOf<FakeNavigationArgs>(a)->cancels.push_back(cancel);
            return S_OK;
          };
          return t;
        }();
        return static_cast<const void*>(&table);
      }()),
      uri(std::move(address)),
      user_initiated(by_user) {}

}  // namespace tarnel::platform::win32::webview2::testing
