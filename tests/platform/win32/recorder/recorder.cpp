// Records how it was started: its arguments as Windows split them from the
// command line, one a line in UTF-8, into "<its own path>.args". The file is
// written under another name and renamed, so a reader never sees half of it.
#include <shellapi.h>

#include <string>

namespace {

std::string ToUtf8(const wchar_t* text) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string narrow(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), length, nullptr, nullptr);
  narrow.pop_back();  // the NUL
  return narrow;
}

}  // namespace

int wmain() {
  wchar_t self[32768];
  const DWORD length = GetModuleFileNameW(nullptr, self, 32768);
  if (length == 0 || length >= 32768) return 2;
  const std::wstring output = std::wstring(self, length) + L".args";
  const std::wstring partial = output + L".part";

  int count = 0;
  wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
  if (arguments == nullptr) return 3;
  std::string text;
  for (int i = 0; i < count; ++i) text += ToUtf8(arguments[i]) + "\n";
  LocalFree(arguments);
  // The folder it was started in, as the last line.
  wchar_t folder[32768];
  const DWORD folderLength = GetCurrentDirectoryW(32768, folder);
  text += "cwd=" + ToUtf8(folderLength > 0 && folderLength < 32768 ? folder : L"") + "\n";

  HANDLE file = CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 4;
  DWORD written = 0;
  const bool ok =
      WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
  CloseHandle(file);
  if (!ok || !MoveFileExW(partial.c_str(), output.c_str(), MOVEFILE_REPLACE_EXISTING)) return 5;
  return 0;
}
