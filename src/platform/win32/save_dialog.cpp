#include "platform/win32/save_dialog.h"

#include "platform/wide_text.h"
#include "platform/win32/com_apartment.h"

namespace tarnel::platform::win32 {
namespace {

// Releases a COM interface at the end of its scope.
template <typename T>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() {
    if (p_ != nullptr) p_->Release();
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  T* operator->() const { return p_; }
  T** out() { return &p_; }
  T* get() const { return p_; }

 private:
  T* p_ = nullptr;
};

}  // namespace

DialogFileTypes::DialogFileTypes(const std::vector<FileFilter>& filters) {
  names_.reserve(filters.size());
  patterns_.reserve(filters.size());
  for (const FileFilter& filter : filters) {
    if (filter.pattern.empty()) continue;
    names_.push_back(Utf8ToWide(filter.name.empty() ? filter.pattern : filter.name));
    patterns_.push_back(Utf8ToWide(filter.pattern));
  }
  // Pointers are taken once the vectors no longer grow.
  entries_.reserve(names_.size());
  for (std::size_t i = 0; i < names_.size(); ++i) entries_.push_back({names_[i].c_str(), patterns_[i].c_str()});
}

std::wstring DialogDefaultExtension(const std::string& extension) {
  std::size_t start = 0;
  while (start < extension.size() && extension[start] == '.') ++start;
  return Utf8ToWide(std::string_view(extension).substr(start));
}

DWORD SaveDialogFlags(DWORD current, bool overwritePrompt) {
  DWORD flags = current | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR;
  if (overwritePrompt) {
    flags |= FOS_OVERWRITEPROMPT;
  } else {
    flags &= ~static_cast<DWORD>(FOS_OVERWRITEPROMPT);
  }
  return flags;
}

std::optional<std::string> RunSaveDialog(HWND owner, const SaveDialogOptions& options) {
  const ComApartment com;
  if (!com.ok()) return std::nullopt;
  ComPtr<IFileSaveDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
                              reinterpret_cast<void**>(dialog.out())))) {
    return std::nullopt;
  }
  FILEOPENDIALOGOPTIONS current = 0;
  dialog->GetOptions(&current);
  dialog->SetOptions(SaveDialogFlags(current, options.overwritePrompt));
  const DialogFileTypes filters(options.filters);
  if (!filters.entries().empty()) {
    dialog->SetFileTypes(static_cast<UINT>(filters.entries().size()), filters.entries().data());
    dialog->SetFileTypeIndex(1);
  }
  if (const std::wstring extension = DialogDefaultExtension(options.defaultExtension); !extension.empty()) {
    dialog->SetDefaultExtension(extension.c_str());
  }
  if (!options.initialName.empty()) dialog->SetFileName(Utf8ToWide(options.initialName).c_str());

  // Cancelling answers HRESULT_FROM_WIN32(ERROR_CANCELLED).
  if (FAILED(dialog->Show(owner))) return std::nullopt;
  ComPtr<IShellItem> item;
  if (FAILED(dialog->GetResult(item.out())) || item.get() == nullptr) return std::nullopt;
  PWSTR path = nullptr;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path)) || path == nullptr) return std::nullopt;
  std::string result = WideToUtf8(path);
  CoTaskMemFree(path);
  return result;
}

}  // namespace tarnel::platform::win32
