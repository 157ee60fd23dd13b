#pragma once
// The real environment factory: the WebView2 loader DLL shipped beside the
// executable, whose CreateCoreWebView2EnvironmentWithOptions export starts
// the installed runtime.
#include "platform/win32/windows_api.h"

#include <optional>
#include <string>

#include "platform/win32/webview2/webview2_com.h"
#include "platform/win32/webview2/webview2_host.h"

namespace tarnel::platform::win32::webview2 {

// The export's name in the loader DLL.
inline constexpr char kCreateEnvironmentExport[] = "CreateCoreWebView2EnvironmentWithOptions";

// The folder of the running executable, without a trailing separator.
std::optional<std::wstring> ExecutableFolder();

// Loads `dll_path` (kept loaded for the process's lifetime) and starts
// creating an environment through its export. HRESULT_FROM_WIN32 of
// ERROR_MOD_NOT_FOUND or ERROR_PROC_NOT_FOUND when the DLL or its export is
// missing; then `handler` is never invoked.
HRESULT CreateEnvironmentThroughLoader(const std::wstring& dll_path, const std::wstring& user_data_folder,
                                       ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);

// The factory for WebView2BrowserPlatform: the loader beside the executable.
// An empty user data folder lets the runtime choose.
EnvironmentFactory LoaderEnvironmentFactory();

}  // namespace tarnel::platform::win32::webview2
