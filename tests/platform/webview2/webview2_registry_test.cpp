#include "platform/win32/webview2/webview2_registry.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnel::platform::win32::webview2 {
namespace {

// Writes the runtime's client state value in HKCU and removes it afterwards.
class RuntimeRegistryTest : public testing::Test {
 protected:
  const std::wstring key_ = std::wstring(L"SOFTWARE\\") + kRuntimeClientStateKey;

  void TearDown() override { RegDeleteKeyW(HKEY_CURRENT_USER, key_.c_str()); }

  void Write(const std::wstring& folder) {
    HKEY handle = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(handle, kRuntimeFolderValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
  }
};

TEST_F(RuntimeRegistryTest, ReadsTheFolderFromTheUserHive) {
  const std::wstring folder = L"C:\\Users\\t\\AppData\\Local\\Microsoft\\EdgeWebView\\Application \u00e9";
  Write(folder);
  EXPECT_EQ(ReadRegistryString(HKEY_CURRENT_USER, key_, kRuntimeFolderValue), folder);
  auto folders = RuntimeFoldersFromRegistry();
  ASSERT_FALSE(folders.empty());
  EXPECT_EQ(folders.back(), folder);
}

TEST_F(RuntimeRegistryTest, MissingKeyOrValueReadsAsNothing) {
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, key_, kRuntimeFolderValue));
  Write(L"C:\\x");
  EXPECT_FALSE(ReadRegistryString(HKEY_CURRENT_USER, key_, L"NoSuchValue"));
}

// A fake runtime tree: two versions with the DLL, a newer one without it.
TEST_F(RuntimeRegistryTest, FindsTheNewestVersionThatHasTheDll) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring root = std::wstring(temp) + L"tarnel_wv2_runtime";
  const std::vector<std::wstring> with_dll = {L"119.0.0.1", L"120.0.0.5"};
  std::vector<std::wstring> created = {root};
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW((root + L"\\121.0.0.0").c_str(), nullptr);
  for (const std::wstring& version : with_dll) {
    std::wstring folder = root + L"\\" + version;
    for (const wchar_t* part : {L"", L"\\EBWebView", L"\\x64"}) {
      folder = part[0] ? folder + part : folder;
      CreateDirectoryW(folder.c_str(), nullptr);
      created.push_back(folder);
    }
    HANDLE file = CreateFileW((folder + L"\\EmbeddedBrowserWebView.dll").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    CloseHandle(file);
  }
  Write(root);
  auto dll = FindInstalledRuntimeDll();
  Write(L"C:\\nowhere");
  auto missing = FindInstalledRuntimeDll();

  for (const std::wstring& version : with_dll) {
    DeleteFileW((root + L"\\" + version + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll").c_str());
  }
  RemoveDirectoryW((root + L"\\121.0.0.0").c_str());
  for (auto it = created.rbegin(); it != created.rend(); ++it) RemoveDirectoryW(it->c_str());

  EXPECT_EQ(dll, root + L"\\120.0.0.5\\EBWebView\\x64\\EmbeddedBrowserWebView.dll");
  EXPECT_FALSE(missing);
}

// Wine has no runtime: the search ends cleanly with nothing.
TEST_F(RuntimeRegistryTest, ReportsNoRuntimeWhenNoneIsInstalled) { EXPECT_FALSE(FindInstalledRuntimeDll()); }

TEST(RuntimeFolderTest, ListsOnlySubfolders) {
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring root = std::wstring(temp) + L"tarnel_wv2_folders";
  CreateDirectoryW(root.c_str(), nullptr);
  CreateDirectoryW((root + L"\\120.0.1.2").c_str(), nullptr);
  CreateDirectoryW((root + L"\\121.0.0.1").c_str(), nullptr);
  HANDLE file = CreateFileW((root + L"\\130.0.0.0").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  CloseHandle(file);
  auto names = SubfolderNames(root);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"120.0.1.2", L"121.0.0.1"}));
  EXPECT_TRUE(SubfolderNames(root + L"\\missing").empty());
  DeleteFileW((root + L"\\130.0.0.0").c_str());
  RemoveDirectoryW((root + L"\\120.0.1.2").c_str());
  RemoveDirectoryW((root + L"\\121.0.0.1").c_str());
  RemoveDirectoryW(root.c_str());
}

}  // namespace
}  // namespace tarnel::platform::win32::webview2
