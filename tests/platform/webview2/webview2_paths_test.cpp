#include "platform/win32/webview2/webview2_paths.h"

#include <gtest/gtest.h>

namespace tarnel::platform::win32::webview2 {
namespace {

TEST(WebView2VersionTest, ParsesOnlyFourDecimalParts) {
  EXPECT_EQ(ParseVersion(L"120.0.2210.91"), (std::vector<unsigned long>{120, 0, 2210, 91}));
  EXPECT_FALSE(ParseVersion(L"120.0.2210"));
  EXPECT_FALSE(ParseVersion(L"120.0.2210.91.1"));
  EXPECT_FALSE(ParseVersion(L"120..2210.91"));
  EXPECT_FALSE(ParseVersion(L"120.0.2210.9a"));
  EXPECT_FALSE(ParseVersion(L"SetupMetrics"));
  EXPECT_FALSE(ParseVersion(L""));
}

TEST(WebView2VersionTest, NewestComparesNumbersNotText) {
  EXPECT_EQ(NewestVersion({L"99.0.1150.30", L"120.0.2210.91", L"120.0.2210.133", L"Installer"}), L"120.0.2210.133");
  EXPECT_EQ(NewestVersion({L"120.0.2210.9", L"120.0.2210.10"}), L"120.0.2210.10");
  EXPECT_FALSE(NewestVersion({L"Installer", L"SetupMetrics"}));
  EXPECT_FALSE(NewestVersion({}));
}

TEST(WebView2PathTest, BuildsRuntimeAndLoaderPaths) {
  const std::wstring expected = L"C:\\Runtime\\Application\\120.0.1.2\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
  EXPECT_EQ(EmbeddedBrowserDllPath(L"C:\\Runtime\\Application", L"120.0.1.2"), expected);
  EXPECT_EQ(EmbeddedBrowserDllPath(L"C:\\Runtime\\Application\\", L"120.0.1.2"), expected);
  EXPECT_EQ(LoaderDllPath(L"C:\\Apps\\Tarnel"), L"C:\\Apps\\Tarnel\\WebView2Loader.dll");
  EXPECT_EQ(LoaderDllPath(L"C:\\Apps\\Tarnel\\"), L"C:\\Apps\\Tarnel\\WebView2Loader.dll");
}

TEST(WebView2PathTest, KeyBecomesOneSafeFolderName) {
  EXPECT_EQ(FolderNameForKey("build-42_a.b"), L"build-42_a.b");
  EXPECT_EQ(FolderNameForKey("..\\..\\Windows"), L".._.._Windows");
  EXPECT_EQ(FolderNameForKey(".."), L"default");
  EXPECT_EQ(FolderNameForKey("a/b:c*d?\"<>|"), L"a_b_c_d_____");
  EXPECT_EQ(FolderNameForKey("caf\xC3\xA9"), L"caf__");
  EXPECT_EQ(FolderNameForKey(""), L"default");
  EXPECT_EQ(FolderNameForKey("..."), L"default");
  EXPECT_EQ(FolderNameForKey("name."), L"name");
  EXPECT_EQ(FolderNameForKey("con"), L"_con");
  EXPECT_EQ(FolderNameForKey("LPT1.txt"), L"_LPT1.txt");
  EXPECT_EQ(FolderNameForKey("console"), L"console");
  EXPECT_EQ(FolderNameForKey(std::string(100, 'k')), std::wstring(64, L'k'));
}

TEST(WebView2PathTest, UserDataFolderIsPerKeyBelowLocalAppData) {
  EXPECT_EQ(UserDataFolder(L"C:\\Users\\u\\AppData\\Local", "id7"),
            L"C:\\Users\\u\\AppData\\Local\\Tarnel\\id7\\WebView2");
  EXPECT_EQ(UserDataFolder(L"C:\\Local\\", "a/b"), L"C:\\Local\\Tarnel\\a_b\\WebView2");
}

TEST(RuntimeSearchFoldersTest, RegistryFirstThenDefaultInstallFoldersWithoutRepeats) {
  EXPECT_EQ(RuntimeSearchFolders({L"D:\\Edge\\Application", L"", L"d:\\edge\\application\\"},
                                 L"C:\\Program Files (x86)", L"C:\\Users\\\u5f20\\AppData\\Local\\"),
            (std::vector<std::wstring>{L"D:\\Edge\\Application",
                                       L"C:\\Program Files (x86)\\Microsoft\\EdgeWebView\\Application",
                                       L"C:\\Users\\\u5f20\\AppData\\Local\\Microsoft\\EdgeWebView\\Application"}));
  // The registry naming the default folder itself: searched once.
  EXPECT_EQ(RuntimeSearchFolders({L"C:\\Program Files (x86)\\Microsoft\\EdgeWebView\\Application"},
                                 L"C:\\Program Files (x86)", std::nullopt),
            (std::vector<std::wstring>{L"C:\\Program Files (x86)\\Microsoft\\EdgeWebView\\Application"}));
  EXPECT_TRUE(RuntimeSearchFolders({}, std::nullopt, std::wstring()).empty());
}

}  // namespace
}  // namespace tarnel::platform::win32::webview2
