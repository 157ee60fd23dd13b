#include "platform/win32/webview2/webview2_loader.h"

#include <vector>

#include "platform/win32/webview2/webview2_paths.h"

namespace tarnel::platform::win32::webview2 {
namespace {

// `name` in the DLL at `dll_path`, which then stays loaded: the environment
// it creates runs code from it. Null with `error` set when either is missing.
FARPROC LoadExport(const std::wstring& dll_path, const char* name, HRESULT& error) {
  // The full path only: the DLL search order is never asked; the DLL's own
  // folder is searched for what it depends on.
  HMODULE module = LoadLibraryExW(dll_path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    error = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  FARPROC procedure = GetProcAddress(module, name);
  if (procedure == nullptr) {
    FreeLibrary(module);
    error = HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
  }
  return procedure;
}

}  // namespace

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

bool IsUnavailable(HRESULT result) {
  return result == HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND) || result == HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
}

HRESULT CreateEnvironmentThroughLoader(const std::wstring& dll_path, const std::wstring& user_data_folder,
                                       ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  if (handler == nullptr) return E_POINTER;
  HRESULT error = S_OK;
  FARPROC procedure = LoadExport(dll_path, kCreateEnvironmentExport, error);
  if (procedure == nullptr) return error;
  const auto create = reinterpret_cast<CreateEnvironmentWithOptionsFunction>(reinterpret_cast<void*>(procedure));
  return create(nullptr, user_data_folder.empty() ? nullptr : user_data_folder.c_str(), nullptr, handler);
}

HRESULT CreateEnvironmentThroughRuntime(const std::wstring& dll_path, const std::wstring& user_data_folder,
                                        ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
  if (handler == nullptr) return E_POINTER;
  HRESULT error = S_OK;
  FARPROC procedure = LoadExport(dll_path, kRuntimeCreateEnvironmentExport, error);
  if (procedure == nullptr) return error;
  const auto create = reinterpret_cast<CreateRuntimeEnvironmentFunction>(reinterpret_cast<void*>(procedure));
  // Joining a running browser process of the same data folder is what the
  // loader does too: a second start of the program shares it.
  return create(true, kInstalledRuntime, user_data_folder.empty() ? nullptr : user_data_folder.c_str(), nullptr,
                handler);
}

EnvironmentFactory LoaderEnvironmentFactory(std::optional<std::wstring> executable_folder,
                                            std::function<std::optional<std::wstring>()> find_runtime) {
  return [executable_folder, find_runtime](const std::wstring& user_data_folder,
                                           ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler) {
    HRESULT result = HRESULT_FROM_WIN32(ERROR_MOD_NOT_FOUND);
    if (executable_folder) {
      result = CreateEnvironmentThroughLoader(LoaderDllPath(*executable_folder), user_data_folder, handler);
      if (!IsUnavailable(result)) return result;
    }
    const std::optional<std::wstring> runtime = find_runtime ? find_runtime() : std::nullopt;
    if (!runtime) return result;
    return CreateEnvironmentThroughRuntime(*runtime, user_data_folder, handler);
  };
}

}  // namespace tarnel::platform::win32::webview2
