// Names the job gives downloaded files: what a URL may not smuggle into them.
#include <gtest/gtest.h>

#include "download/file_name.h"

namespace tarnel::download {
namespace {

TEST(FileName, LastSegmentWithoutQueryOrFragmentAndUndecoded) {
  EXPECT_EQ(FileNameFromUrl("https://h/files/setup.exe"), "setup.exe");
  EXPECT_EQ(FileNameFromUrl("https://h/setup.exe?v=2#top"), "setup.exe");
  EXPECT_EQ(FileNameFromUrl("https://h/setup.exe#a/b"), "setup.exe");
  EXPECT_EQ(FileNameFromUrl("https://h/dir/setup.exe?next=/x/y"), "setup.exe");
  // Percent escapes stay: decoding could bring back a '/'.
  EXPECT_EQ(FileNameFromUrl("https://h/a%20b%2F.exe"), "a%20b%2F.exe");
  EXPECT_EQ(FileNameFromUrl("https://h/安装程序.exe"), "安装程序.exe");
}

TEST(FileName, NothingUsableGivesTheFallbackName) {
  for (const char* url : {"https://h/dir/", "setup.exe", "", "https://h/...", "https://h/%20?x", "https://h/ . ."}) {
    const std::string name = FileNameFromUrl(url);
    if (std::string(url) == "https://h/%20?x") {
      EXPECT_EQ(name, "%20");
    } else {
      EXPECT_EQ(name, kFallbackName) << url;
    }
  }
}

TEST(FileName, HiddenControlAndReorderingCharactersAreDropped) {
  // A leading dot would make a hidden file, or replace ~/.bashrc when Downloads is home.
  EXPECT_EQ(FileNameFromUrl("https://h/.bashrc"), "bashrc");
  EXPECT_EQ(FileNameFromUrl("https://h/..profile"), "profile");
  EXPECT_EQ(FileNameFromUrl("https://h/a\tb\x7f"
                            "c.exe"),
            "abc.exe");
  EXPECT_EQ(FileNameFromUrl("https://h/a\xc2\x85"
                            "b.exe"),
            "ab.exe");  // C1 control
  // U+202E would show "setup\u202Etxt.exe" as "setupexe.txt".
  EXPECT_EQ(FileNameFromUrl("https://h/setup\xe2\x80\xaetxt.exe"), "setuptxt.exe");
  EXPECT_EQ(FileNameFromUrl("https://h/a\xe2\x81\xa6"
                            "b\xe2\x80\x8f.exe"),
            "ab.exe");
  // Invalid UTF-8 bytes never reach the file system.
  EXPECT_EQ(FileNameFromUrl("https://h/a\xff\xc3"
                            "b.exe"),
            "ab.exe");
  // Nor do overlong forms ('/' and '\\' spelt in 3 bytes), surrogates or code points above U+10FFFF.
  EXPECT_EQ(FileNameFromUrl("https://h/a\xe0\x80\xaf"
                            "b\xe0\x81\x9c"
                            "c.exe"),
            "abc.exe");
  EXPECT_EQ(FileNameFromUrl("https://h/a\xed\xa0\x80"
                            "b\xf4\x90\x80\x80"
                            "c\xf0\x80\x80\xaf"
                            "d.exe"),
            "abcd.exe");
  // The highest characters that are well formed stay.
  EXPECT_EQ(FileNameFromUrl("https://h/\xed\x9f\xbf\xf4\x8f\xbf\xbf\xf0\x90\x80\x80.exe"),
            "\xed\x9f\xbf\xf4\x8f\xbf\xbf\xf0\x90\x80\x80.exe");
  // Characters no Windows name may hold, and trailing dots and spaces.
  EXPECT_EQ(FileNameFromUrl("https://h/a:b*c|d\\e<f>\".exe. ."), "a_b_c_d_e_f__.exe");
}

TEST(FileName, LongNamesAreCutOnACharacterBoundaryKeepingTheExtension) {
  const std::string stem(300, 'a');
  const std::string name = FileNameFromUrl("https://h/" + stem + ".exe");
  EXPECT_EQ(name.size(), kMaxNameBytes);
  EXPECT_EQ(name.substr(name.size() - 4), ".exe");
  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "安";  // 3 bytes each
  const std::string cut = FileNameFromUrl("https://h/" + wide);
  EXPECT_LE(cut.size(), kMaxNameBytes);
  EXPECT_EQ(cut.size() % 3, 0u);
  EXPECT_EQ(cut, wide.substr(0, cut.size()));
}

TEST(FileName, ACutWithoutExtensionDropsTheDotsAndSpacesItEndsOn) {
  // Cut at 240 bytes, this name would end on " ." + " ".
  const std::string stem(237, 'a');
  EXPECT_EQ(FileNameFromUrl("https://h/" + stem + " . " + std::string(30, 'b')), stem);
}

TEST(FileName, NumberedPathsPutTheNumberBeforeTheExtension) {
  EXPECT_EQ(NumberedPath("/d/setup.exe", 0), "/d/setup.exe");
  EXPECT_EQ(NumberedPath("/d/setup.exe", 1), "/d/setup (1).exe");
  EXPECT_EQ(NumberedPath("/d/archive.tar.gz", 2), "/d/archive.tar (2).gz");
  EXPECT_EQ(NumberedPath("/d.x/setup", 3), "/d.x/setup (3)");
  EXPECT_EQ(NumberedPath("/d/.hidden", 1), "/d/.hidden (1)");
}

TEST(FileName, UsablePathsNameAFileOfTheirOwn) {
  EXPECT_EQ(JoinFolder("/home/u/Downloads", "setup.exe"), "/home/u/Downloads/setup.exe");
  EXPECT_TRUE(IsUsableFilePath("/d/setup.exe"));
  EXPECT_TRUE(IsUsableFilePath("/d/...exe"));
  for (const char* path : {"/d/", "/d/.", "/d/..", "", "."}) EXPECT_FALSE(IsUsableFilePath(path)) << path;
}

}  // namespace
}  // namespace tarnel::download
