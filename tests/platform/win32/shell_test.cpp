// The shell against the real system: known folders, starting a recording
// program through ShellExecuteEx, and failures reported later.
#include <gtest/gtest.h>

#include <shlwapi.h>

#include <filesystem>

#include "platform/wide_text.h"
#include "platform/win32/ui_dispatcher.h"
#include "platform/win32/win32_shell.h"
#include "win32_test_support.h"

namespace tarnel::platform::win32::test {
namespace {

std::wstring Recorder() { return ExecutableFolder() + L"\\recorder.exe"; }

// A copy of the recorder at `folder`\`name`; its record is "<copy>.args".
std::wstring CopyRecorder(const std::wstring& folder, const std::wstring& name) {
  const std::wstring copy = folder + L"\\" + name;
  EXPECT_TRUE(CopyFileW(Recorder().c_str(), copy.c_str(), FALSE)) << "cannot copy the recorder";
  return copy;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

// Waits (dispatching messages) for the recorder's whole record: the file may
// still be held by the recorder for a moment after it appeared.
std::vector<std::string> WaitForRecord(const std::wstring& copy) {
  const std::wstring record = copy + L".args";
  std::string text;
  PumpUntil(
      [&] {
        text = ReadWholeFile(record);
        return text.find("cwd=") != std::string::npos && text.back() == '\n';
      },
      std::chrono::seconds(30));
  return Lines(text);
}

// A private URL scheme whose "open" command runs `handler` with the URL, for
// as long as it lives. Registered for the user; where the system does not
// read the user's classes (Wine), in the machine's.
class ScopedUrlScheme {
 public:
  ScopedUrlScheme(const std::wstring& scheme, const std::wstring& handler) : scheme_(scheme) {
    const std::wstring command = L"\"" + handler + L"\" \"%1\"";
    Register(HKEY_CURRENT_USER, L"Software\\Classes\\" + scheme, command);
    wchar_t found[1024];
    DWORD size = 1024;
    if (AssocQueryStringW(0, ASSOCSTR_COMMAND, scheme.c_str(), L"open", found, &size) != S_OK || command != found) {
      Register(HKEY_CLASSES_ROOT, scheme, command);
    }
  }
  ~ScopedUrlScheme() {
    RegDeleteTreeW(HKEY_CURRENT_USER, (L"Software\\Classes\\" + scheme_).c_str());
    RegDeleteTreeW(HKEY_CLASSES_ROOT, scheme_.c_str());
  }
  ScopedUrlScheme(const ScopedUrlScheme&) = delete;
  ScopedUrlScheme& operator=(const ScopedUrlScheme&) = delete;

 private:
  static void Register(HKEY root, const std::wstring& key, const std::wstring& command) {
    SetValue(root, key, L"URL Protocol", L"");
    SetValue(root, key + L"\\shell\\open\\command", nullptr, command);
  }
  static void SetValue(HKEY root, const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY opened = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) != ERROR_SUCCESS) {
      return;
    }
    RegSetValueExW(opened, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(opened);
  }

  std::wstring scheme_;
};

bool SamePath(const std::string& a, const std::wstring& b) {
  return CompareStringOrdinal(Utf8ToWide(a).c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

class Win32ShellTest : public ::testing::Test {
 protected:
  void TearDown() override {
    std::error_code ignored;
    for (const auto& folder : folders_) std::filesystem::remove_all(std::filesystem::path(folder), ignored);
  }
  // A new folder (with a space in its name), removed after the test.
  std::wstring Scratch(const std::wstring& name) { return folders_.emplace_back(MakeScratchFolder(name)); }

  std::vector<std::wstring> folders_;
  UiDispatcher dispatcher_;
  Win32Shell shell_{dispatcher_.Scheduler()};
};

TEST_F(Win32ShellTest, DownloadsFolderExists) {
  const std::string folder = shell_.GetDownloadsFolder();
  ASSERT_FALSE(folder.empty());
  const DWORD attributes = GetFileAttributesW(Utf8ToWide(folder).c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES) << folder;
  EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST_F(Win32ShellTest, RunElevatedStartsTheProgramInItsFolderWithoutCallingFailed) {
  // Under Wine "runas" simply starts the program, as the current user.
  const std::wstring folder = Scratch(L"Tarnel run as ü");
  const std::wstring copy = CopyRecorder(folder, L"setup (1) 'x'.exe");
  bool failed = false;
  shell_.RunElevated(WideToUtf8(copy), [&] { failed = true; });
  const auto record = WaitForRecord(copy);
  ASSERT_EQ(record.size(), 2u) << "the program did not start, or got arguments";
  EXPECT_TRUE(SamePath(record[0], copy)) << record[0];
  EXPECT_TRUE(SamePath(record[1].substr(4), folder)) << record[1];
  PumpFor(std::chrono::milliseconds(200));
  EXPECT_FALSE(failed);
}

TEST_F(Win32ShellTest, RunElevatedFailureIsReportedLaterOnTheUiThread) {
  const std::wstring folder = Scratch(L"Tarnel missing");
  int failed = 0;
  DWORD failedOn = 0;
  shell_.RunElevated(WideToUtf8(folder + L"\\no such program.exe"), [&] {
    ++failed;
    failedOn = GetCurrentThreadId();
  });
  EXPECT_EQ(failed, 0) << "called inside RunElevated";
  ASSERT_TRUE(PumpUntil([&] { return failed > 0; }));
  EXPECT_EQ(failedOn, GetCurrentThreadId());
  PumpFor(std::chrono::milliseconds(100));
  EXPECT_EQ(failed, 1);

  bool emptyFailed = false;
  shell_.RunElevated("", [&] { emptyFailed = true; });
  EXPECT_FALSE(emptyFailed);
  EXPECT_TRUE(PumpUntil([&] { return emptyFailed; }));
}

TEST_F(Win32ShellTest, FailureIsDroppedWhenTheShellIsGone) {
  bool failed = false;
  {
    Win32Shell shell(dispatcher_.Scheduler());
    shell.RunElevated("C:\\no such folder\\no such program.exe", [&] { failed = true; });
  }
  PumpFor(std::chrono::milliseconds(300));
  EXPECT_FALSE(failed);
}

TEST_F(Win32ShellTest, OpenUrlHandsTheAddressToItsHandler) {
  const std::wstring folder = Scratch(L"Tarnel open");
  const std::wstring copy = CopyRecorder(folder, L"handler.exe");
  const ScopedUrlScheme scheme(L"tarnel-test", copy);
  // Spaces and non-ASCII text reach the handler as one argument.
  const std::string url = "tarnel-test://open/a b?q=下载&r=1";
  EXPECT_TRUE(shell_.OpenUrl(url));
  const auto record = WaitForRecord(copy);
  ASSERT_EQ(record.size(), 3u);
  EXPECT_EQ(record[1], url);
}

TEST_F(Win32ShellTest, OpenUrlRefusesEmptyTextAndReportsFailure) {
  EXPECT_FALSE(shell_.OpenUrl(""));
  EXPECT_FALSE(shell_.OpenUrl("C:\\no such folder\\no such file.txt"));
}

// Top-level windows of other processes whose title contains `text`.
std::vector<HWND> ForeignWindowsTitled(const std::wstring& text) {
  struct Search {
    std::wstring text;
    std::vector<HWND> found;
  } search{text, {}};
  EnumWindows(
      [](HWND hwnd, LPARAM data) -> BOOL {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD process = 0;
        GetWindowThreadProcessId(hwnd, &process);
        wchar_t title[512] = {};
        GetWindowTextW(hwnd, title, 512);
        if (process != GetCurrentProcessId() && std::wstring(title).find(search->text) != std::wstring::npos) {
          search->found.push_back(hwnd);
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void CloseWindows(const std::vector<HWND>& windows) {
  for (HWND hwnd : windows) PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

TEST_F(Win32ShellTest, RevealFileOpensTheFolderOfExistingAndMissingFiles) {
  const std::wstring folder = Scratch(L"Tarnel reveal");
  const std::wstring name = folder.substr(folder.find_last_of(L'\\') + 1);
  const std::wstring file = folder + L"\\installer 1.exe";
  HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(handle, INVALID_HANDLE_VALUE);
  CloseHandle(handle);

  shell_.RevealFile(WideToUtf8(file));
  // The file manager shows the folder in a window of its own.
  EXPECT_TRUE(PumpUntil([&] { return !ForeignWindowsTitled(name).empty(); }, std::chrono::seconds(20)));
  CloseWindows(ForeignWindowsTitled(name));
  PumpUntil([&] { return ForeignWindowsTitled(name).empty(); }, std::chrono::seconds(10));

  // A missing file still shows its folder.
  shell_.RevealFile(WideToUtf8(folder + L"\\missing.exe"));
  EXPECT_TRUE(PumpUntil([&] { return !ForeignWindowsTitled(name).empty(); }, std::chrono::seconds(20)));
  CloseWindows(ForeignWindowsTitled(name));

  // Nothing to show: nothing happens, and nothing fails.
  shell_.RevealFile("C:\\no such folder\\missing.exe");
  shell_.RevealFile("");
  PumpUntil([&] { return ForeignWindowsTitled(name).empty(); }, std::chrono::seconds(10));
}

}  // namespace
}  // namespace tarnel::platform::win32::test
