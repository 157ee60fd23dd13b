#pragma once
// The real environment factory: the WebView2 loader DLL shipped beside the
// executable when there is one, otherwise the installed Evergreen runtime
// started directly, as the loader itself would.
#include "platform/win32/windows_api.h"

#include <functional>
#include <optional>
#include <string>

#include "platform/win32/webview2/webview2_com.h"
#include "platform/win32/webview2/webview2_host.h"
#include "platform/win32/webview2/webview2_registry.h"

namespace tarnel::platform::win32::webview2 {

// The loader DLL's export.
inline constexpr char kCreateEnvironmentExport[] = "CreateCoreWebView2EnvironmentWithOptions";
// The runtime DLL's (EmbeddedBrowserWebView.dll) export that the loader calls.
inline constexpr char kRuntimeCreateEnvironmentExport[] = "CreateWebViewEnvironmentWithOptionsInternal";

// The folder of the running executable, without a trailing separator.
std::optional<std::wstring> ExecutableFolder();

// True for the results that mean "this way to the runtime does not exist"
// (a missing DLL or export), so the next way is worth trying.
bool IsUnavailable(HRESULT result);

// Loads `dll_path` (kept loaded for the process's lifetime) and starts
// creating an environment through its export. HRESULT_FROM_WIN32 of
// ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND when the DLL or its export is
// missing; then `handler` is never invoked.
HRESULT CreateEnvironmentThroughLoader(const std::wstring& dll_path, const std::wstring& user_data_folder,
                                       ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);
// The same through the installed runtime's own DLL.
HRESULT CreateEnvironmentThroughRuntime(const std::wstring& dll_path, const std::wstring& user_data_folder,
                                        ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

// The factory for WebView2BrowserPlatform: the loader in `executable_folder`,
// then the runtime DLL that `find_runtime` names (looked up at each start).
// An empty user data folder lets the runtime choose.
EnvironmentFactory LoaderEnvironmentFactory(
    std::optional<std::wstring> executable_folder = ExecutableFolder(),
    std::function<std::optional<std::wstring>()> find_runtime = FindInstalledRuntimeDll);

}  // namespace tarnel::platform::win32::webview2
