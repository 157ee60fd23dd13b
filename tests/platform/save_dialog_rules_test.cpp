#include "platform/save_dialog_rules.h"

#include <gtest/gtest.h>

namespace tarnel::platform {
namespace {

TEST(WithDefaultExtension, AppendedOnlyWhenTheNameHasNone) {
  EXPECT_EQ(WithDefaultExtension("/home/u/setup", "exe"), "/home/u/setup.exe");
  EXPECT_EQ(WithDefaultExtension("/home/u/setup", ".exe"), "/home/u/setup.exe");
  EXPECT_EQ(WithDefaultExtension("/home/u/setup.exe", "exe"), "/home/u/setup.exe");
  EXPECT_EQ(WithDefaultExtension("/home/u/setup.msi", "exe"), "/home/u/setup.msi");
  EXPECT_EQ(WithDefaultExtension("/home/u/setup.", "exe"), "/home/u/setup.exe");
  // A dot in a folder name is not the file's extension; a leading dot marks a hidden file.
  EXPECT_EQ(WithDefaultExtension("/home/u/my.dir/setup", "exe"), "/home/u/my.dir/setup.exe");
  EXPECT_EQ(WithDefaultExtension("/home/u/.setup", "exe"), "/home/u/.setup.exe");
  EXPECT_EQ(WithDefaultExtension("setup", "exe"), "setup.exe");
}

TEST(WithDefaultExtension, NoExtensionOrNoNameLeavesThePath) {
  EXPECT_EQ(WithDefaultExtension("/home/u/setup", ""), "/home/u/setup");
  EXPECT_EQ(WithDefaultExtension("/home/u/setup", "."), "/home/u/setup");
  EXPECT_EQ(WithDefaultExtension("/home/u/", "exe"), "/home/u/");
  EXPECT_EQ(WithDefaultExtension("", "exe"), "");
}

TEST(FilterGlobs, PatternsSplitAndMatchEitherCase) {
  EXPECT_EQ(FilterGlobs("*.exe"), (std::vector<std::string>{"*.[eE][xX][eE]"}));
  EXPECT_EQ(FilterGlobs("*.exe; *.msi"), (std::vector<std::string>{"*.[eE][xX][eE]", "*.[mM][sS][iI]"}));
  EXPECT_EQ(FilterGlobs("*.*"), (std::vector<std::string>{"*"}));
  EXPECT_EQ(FilterGlobs("*"), (std::vector<std::string>{"*"}));
  EXPECT_EQ(FilterGlobs("*.tar.gz"), (std::vector<std::string>{"*.[tT][aA][rR].[gG][zZ]"}));
  EXPECT_TRUE(FilterGlobs("").empty());
  EXPECT_TRUE(FilterGlobs(";;").empty());
}

}  // namespace
}  // namespace tarnel::platform
