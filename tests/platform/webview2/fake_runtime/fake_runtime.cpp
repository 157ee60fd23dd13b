// A stand-in for both ways to the WebView2 runtime, built as a DLL: the
// loader's export and the runtime DLL's own. Each records how it was called
// and completes at once with the result the test chose, without an
// environment. The tests copy it to where the real DLLs would be.
#include "platform/win32/webview2/webview2_com.h"

#include <cwchar>

#include "fake_runtime_record.h"

using tarnel::platform::win32::webview2::ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler;
using tarnel::platform::win32::webview2::ICoreWebView2EnvironmentOptions;

namespace {

FakeRuntimeRecord record;
HRESULT completion = E_FAIL;

void Remember(PCWSTR user_data_folder) {
  std::wcsncpy(record.userDataFolder, user_data_folder != nullptr ? user_data_folder : L"<null>",
               sizeof(record.userDataFolder) / sizeof(wchar_t) - 1);
}

}  // namespace

extern "C" {

__declspec(dllexport) HRESULT STDMETHODCALLTYPE
    CreateCoreWebView2EnvironmentWithOptions(PCWSTR browser_executable_folder, PCWSTR user_data_folder,
                                             ICoreWebView2EnvironmentOptions* options,
                                             ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  ++record.loaderCalls;
  record.hadBrowserFolder = browser_executable_folder != nullptr;
  record.hadOptions = options != nullptr;
  Remember(user_data_folder);
  handler->lpVtbl->Invoke(handler, completion, nullptr);
  return S_OK;
}

__declspec(dllexport) HRESULT STDMETHODCALLTYPE
    CreateWebViewEnvironmentWithOptionsInternal(bool join_running_instance, int runtime_kind, PCWSTR user_data_folder,
                                                IUnknown* options,
                                                ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  ++record.runtimeCalls;
  record.joinRunningInstance = join_running_instance;
  record.runtimeKind = runtime_kind;
  record.hadOptions = options != nullptr;
  Remember(user_data_folder);
  handler->lpVtbl->Invoke(handler, completion, nullptr);
  return S_OK;
}

// For the tests: what was recorded, and the result of the next completions.
__declspec(dllexport) const FakeRuntimeRecord* FakeRuntimeRecordOf() { return &record; }
__declspec(dllexport) void FakeRuntimeCompleteWith(HRESULT result) { completion = result; }

}  // extern "C"
