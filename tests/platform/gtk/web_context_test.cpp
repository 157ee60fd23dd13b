// The folders of the browser's data: named by a key that cannot leave them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "gtk_test_support.h"
#include "platform/gtk/web_context.h"

namespace tarnel::platform::gtk::test {
namespace {

namespace fs = std::filesystem;

TEST(GtkWebContext, KeysOtherThanLettersDigitsDashAndUnderscoreFallBackToDefault) {
  EXPECT_EQ(UserDataFolderName("1234"), "1234");
  EXPECT_EQ(UserDataFolderName("build_7-b"), "build_7-b");
  for (const char* bad : {"", "..", "../x", "a/b", "a b", ".hidden", "x\n", "\xC3\xA9", "a\\b"}) {
    EXPECT_EQ(UserDataFolderName(bad), "default") << bad;
  }
  EXPECT_EQ(UserDataFolder("42"), (fs::path(std::getenv("XDG_DATA_HOME")) / "tarnel" / "42").string());
  EXPECT_EQ(UserCacheFolder("../42"), (fs::path(std::getenv("XDG_CACHE_HOME")) / "tarnel" / "default").string());
}

TEST(GtkWebContext, ABrowserPlatformMakesItsContextInTheKeysFoldersOnceAndKeepsIt) {
  GtkBrowserPlatform browser(Platform().window(), Platform().shell());
  browser.SetUserDataKey("../escape");
  WebKitWebContext* context = browser.WebContext();
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(browser.WebContext(), context);
  // A key after the context is made changes nothing.
  browser.SetUserDataKey("later");
  EXPECT_EQ(browser.WebContext(), context);
  WebKitWebsiteDataManager* manager = webkit_web_context_get_website_data_manager(context);
  const fs::path data = fs::path(std::getenv("XDG_DATA_HOME")) / "tarnel" / "default";
  EXPECT_EQ(std::string(webkit_website_data_manager_get_base_data_directory(manager)), data.string());
  EXPECT_TRUE(fs::is_directory(data));
  EXPECT_FALSE(fs::exists(fs::path(std::getenv("XDG_DATA_HOME")) / "escape"));
  EXPECT_FALSE(fs::exists(fs::path(std::getenv("XDG_DATA_HOME")) / "tarnel" / "later"));
  EXPECT_TRUE(webkit_web_context_get_sandbox_enabled(context));
}

}  // namespace
}  // namespace tarnel::platform::gtk::test
