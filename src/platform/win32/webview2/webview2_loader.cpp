#include "platform/win32/webview2/webview2_loader.h"

#include <vector>

#include "platform/win32/webview2/webview2_paths.h"

namespace tarnel::platform::win32::webview2 {

std::optional<std::wstring> ExecutableFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    if (length < buffer.size()) {
      std::wstring path(buffer.data(), length);
      const std::size_t separator = path.find_last_of(L"\\/");
      if (separator == std::wstring::npos) return std::nullopt;
      return path.substr(0, separator);
    }
    // Truncated: try again with more room, up to the longest path Windows has.
    if (buffer.size() >= 32768) return std::nullopt;
    buffer.resize(buffer.size() * 2);
  }
}

HRESULT CreateEnvironmentThroughLoader(const std::wstring& dll_path, const std::wstring& user_data_folder,
                                       ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  if (handler == nullptr) return E_POINTER;
  // The full path only: the DLL search order is never asked.
  HMODULE module = LoadLibraryExW(dll_path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
  FARPROC procedure = GetProcAddress(module, kCreateEnvironmentExport);
  if (procedure == nullptr) {
    FreeLibrary(module);
    return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  }
  // The module stays loaded: the environment it creates runs code from it.
  const auto create = reinterpret_cast<CreateEnvironmentWithOptionsFunction>(reinterpret_cast<void*>(procedure));
  return create(nullptr, user_data_folder.empty() ? nullptr : user_data_folder.c_str(), nullptr, handler);
}

EnvironmentFactory LoaderEnvironmentFactory() {
  return [](const std::wstring& user_data_folder,
            ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) -> HRESULT {
    const std::optional<std::wstring> folder = ExecutableFolder();
    if (!folder) return HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    return CreateEnvironmentThroughLoader(LoaderDllPath(*folder), user_data_folder, handler);
  };
}

}  // namespace tarnel::platform::win32::webview2
