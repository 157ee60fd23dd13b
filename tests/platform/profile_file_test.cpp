#include "platform/profile_file.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <csignal>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>

#include "support/temp_dir.h"

namespace {

using tarnel::platform::GetPrivateProfileInt;
using tarnel::platform::GetPrivateProfileString;
using tarnel::platform::WritePrivateProfileString;
using tarnel::test::ReadFile;
using tarnel::test::TempDir;
using tarnel::test::WriteFile;

std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

#ifndef _WIN32
// Whether this process can create files in a folder despite its permission bits (as root).
bool CanWriteInto(const std::filesystem::path& folder) {
  std::string probe = (folder / "probe").string();
  WriteFile(probe, "x");
  bool written = std::filesystem::exists(probe);
  std::error_code ec;
  std::filesystem::remove(probe, ec);
  return written;
}

std::filesystem::perms Permissions(const std::string& file) {
  return std::filesystem::status(file).permissions() & std::filesystem::perms::mask;
}
#endif  // _WIN32

class ProfileFile : public ::testing::Test {
 protected:
  // Writes content to config.ini and reads key of section back as text.
  std::string Read(const std::string& content, const std::string& section, const std::string& key) {
    WriteFile(file_, content);
    return GetPrivateProfileString(section, key, "<default>", file_);
  }
  unsigned ReadInt(const std::string& content, const std::string& key, int defaultValue = 77) {
    WriteFile(file_, content);
    return GetPrivateProfileInt("root", key, defaultValue, file_);
  }

  TempDir dir_;
  std::string file_ = dir_.file("config.ini");
};

TEST_F(ProfileFile, NamesMatchWithoutCaseAndWhiteSpaceIsTrimmed) {
  const std::string content = "[ Root ]\n  Downloader_ID \t=  42 \t\n\tApi_Url=  https://example.test/a b  \n";
  EXPECT_EQ(Read(content, "root", "downloader_id"), "42");
  EXPECT_EQ(Read(content, "ROOT", "DOWNLOADER_ID"), "42");
  EXPECT_EQ(Read(content, " root ", " api_url "), "https://example.test/a b");
  EXPECT_EQ(GetPrivateProfileInt("rOOt", "downloader_ID", 0, file_), 42u);
  // Only ASCII letters fold: a different name is no match.
  EXPECT_EQ(Read(content, "root", "downloader-id"), "<default>");
}

TEST_F(ProfileFile, FirstMatchingSectionAndFirstMatchingKeyWin) {
  const std::string content =
      "top=0\n"
      "[a]\nk=1\nK=2\n"
      "[b]\nk=3\nonly_b=4\n"
      "[A]\nk=5\nonly_second_a=6\n";
  EXPECT_EQ(Read(content, "a", "k"), "1");
  EXPECT_EQ(Read(content, "b", "k"), "3");
  // A later section of the same name is not merged into the first.
  EXPECT_EQ(Read(content, "A", "only_second_a"), "<default>");
  // Keys belong to their own section only; keys before any section belong to none.
  EXPECT_EQ(Read(content, "a", "only_b"), "<default>");
  EXPECT_EQ(Read(content, "a", "top"), "<default>");
  EXPECT_EQ(Read(content, "missing", "k"), "<default>");
}

TEST_F(ProfileFile, MissingFileOrKeyGivesTheDefault) {
  EXPECT_EQ(GetPrivateProfileString("root", "api_url", "fallback", file_), "fallback");
  EXPECT_EQ(GetPrivateProfileInt("root", "downloader_id", 7, file_), 7u);
  EXPECT_EQ(GetPrivateProfileInt("root", "downloader_id", -1, file_), 4294967295u);
  EXPECT_EQ(GetPrivateProfileInt("root", "downloader_id", 7, dir_.path().string()), 7u) << "a folder is no file";
  EXPECT_EQ(ReadInt("[root]\nother=5\n", "downloader_id"), 77u);
  // A key line without '=' is present with an empty value.
  EXPECT_EQ(Read("[root]\nflag\n", "root", "flag"), "");
}

TEST_F(ProfileFile, OnePairOfMatchingQuotesIsRemoved) {
  EXPECT_EQ(Read("[s]\nk=\"quoted value\"\n", "s", "k"), "quoted value");
  EXPECT_EQ(Read("[s]\nk=  'single'  \n", "s", "k"), "single");
  EXPECT_EQ(Read("[s]\nk=\" inner spaces \"\n", "s", "k"), " inner spaces ");
  EXPECT_EQ(Read("[s]\nk=\"\"\n", "s", "k"), "");
  EXPECT_EQ(Read("[s]\nk=\"\"twice\"\"\n", "s", "k"), "\"twice\"");
  EXPECT_EQ(Read("[s]\nk=\"mixed'\n", "s", "k"), "\"mixed'");
  EXPECT_EQ(Read("[s]\nk=\"\n", "s", "k"), "\"");
  EXPECT_EQ(Read("[s]\nk=a \"b\"\n", "s", "k"), "a \"b\"");
}

TEST_F(ProfileFile, ByteOrderMarkAndCrlfLinesAreRead) {
  const std::string content = "\xEF\xBB\xBF[root]\r\ndownloader_id=12\r\napi_url=https://x.test/\r\n[user]\r\nuuid=abc";
  EXPECT_EQ(Read(content, "root", "api_url"), "https://x.test/");
  EXPECT_EQ(GetPrivateProfileInt("root", "downloader_id", 0, file_), 12u);
  EXPECT_EQ(GetPrivateProfileString("user", "uuid", "", file_), "abc");
}

TEST_F(ProfileFile, ValuesAreCutAt259Utf16UnitsWithoutSplittingCharacters) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600, two UTF-16 units
  const std::string eAcute = "\xC3\xA9";         // U+00E9, one unit in two bytes
  EXPECT_EQ(Read("[s]\nk=" + std::string(259, 'a') + "\n", "s", "k"), std::string(259, 'a'));
  EXPECT_EQ(Read("[s]\nk=" + std::string(300, 'a') + "\n", "s", "k"), std::string(259, 'a'));
  // The pair would need units 259 and 260: it goes as a whole.
  EXPECT_EQ(Read("[s]\nk=" + std::string(258, 'a') + emoji + "\n", "s", "k"), std::string(258, 'a'));
  EXPECT_EQ(Read("[s]\nk=" + std::string(257, 'a') + emoji + "b\n", "s", "k"), std::string(257, 'a') + emoji);
  std::string accents;
  for (int i = 0; i < 300; ++i) accents += eAcute;
  EXPECT_EQ(Read("[s]\nk=" + accents + "\n", "s", "k"), accents.substr(0, 259 * eAcute.size()));
  // The cut applies to the unquoted value.
  EXPECT_EQ(Read("[s]\nk=\"" + std::string(259, 'q') + "\"\n", "s", "k"), std::string(259, 'q'));
}

TEST_F(ProfileFile, IntegerIsFormedByTheLeadingDigits) {
  EXPECT_EQ(ReadInt("[root]\nid=12abc\n", "id"), 12u);
  EXPECT_EQ(ReadInt("[root]\nid=  0012  \n", "id"), 12u);
  EXPECT_EQ(ReadInt("[root]\nid=\"34\"\n", "id"), 34u);
  EXPECT_EQ(ReadInt("[root]\nid=5 6\n", "id"), 5u);
  // Present but not beginning with a digit: 0, not the default.
  EXPECT_EQ(ReadInt("[root]\nid=abc\n", "id"), 0u);
  EXPECT_EQ(ReadInt("[root]\nid=-5\n", "id"), 0u);
  EXPECT_EQ(ReadInt("[root]\nid=+5\n", "id"), 0u);
  EXPECT_EQ(ReadInt("[root]\nid=0x1F\n", "id"), 0u);
  // An empty value counts as no value.
  EXPECT_EQ(ReadInt("[root]\nid=\n", "id"), 77u);
}

TEST_F(ProfileFile, IntegerWrapsModulo2To32) {
  EXPECT_EQ(ReadInt("[root]\nid=4294967295\n", "id"), 4294967295u);
  EXPECT_EQ(ReadInt("[root]\nid=4294967296\n", "id"), 0u);
  EXPECT_EQ(ReadInt("[root]\nid=4294967298x\n", "id"), 2u);
  EXPECT_EQ(ReadInt("[root]\nid=99999999999\n", "id"), static_cast<unsigned>(99999999999ull % (1ull << 32)));
}

TEST_F(ProfileFile, WriteChangesOnlyTheKeysLine) {
  const std::string before =
      "\xEF\xBB\xBF; settings\r\n"
      "[root]\r\n"
      "  downloader_id = 5 \r\n"
      "\r\n"
      "[ User ]\r\n"
      "# keep me\r\n"
      "  UUID\t=  old  \r\n"
      "uuid=second\r\n"
      "[user]\r\n"
      "uuid=third\r\n"
      "tail  without  newline";
  WriteFile(file_, before);
  ASSERT_TRUE(WritePrivateProfileString("user", "uuid", "NEW", file_));
  std::string expected = before;
  expected.replace(expected.find("  UUID\t=  old  "), std::string("  UUID\t=  old  ").size(), "UUID=NEW");
  EXPECT_EQ(ReadFile(file_), expected);
  EXPECT_EQ(GetPrivateProfileString("user", "uuid", "", file_), "NEW");
}

TEST_F(ProfileFile, WriteAddsKeyAfterLastNonBlankLineOfItsSection) {
  WriteFile(file_, "[user]\nname=x\n\n\n[root]\nid=1\n");
  ASSERT_TRUE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_EQ(ReadFile(file_), "[user]\nname=x\nuuid=v\n\n\n[root]\nid=1\n");

  WriteFile(file_, "[root]\r\nid=1\r\n[user]\r\n\r\n[other]\r\n");
  ASSERT_TRUE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_EQ(ReadFile(file_), "[root]\r\nid=1\r\n[user]\r\nuuid=v\r\n\r\n[other]\r\n");

  // The section's last line ends the file without a line break.
  WriteFile(file_, "[user]\nname=x");
  ASSERT_TRUE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_EQ(ReadFile(file_), "[user]\nname=x\nuuid=v\n");
}

TEST_F(ProfileFile, WriteAddsMissingSectionAtTheEnd) {
  WriteFile(file_, "[root]\nid=1");
  ASSERT_TRUE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_EQ(ReadFile(file_), "[root]\nid=1\n[user]\nuuid=v\n");

  WriteFile(file_, "[root]\r\nid=1\r\n\r\n");
  ASSERT_TRUE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_EQ(ReadFile(file_), "[root]\r\nid=1\r\n\r\n[user]\r\nuuid=v\r\n");

  WriteFile(file_, "\xEF\xBB\xBF");
  ASSERT_TRUE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_EQ(ReadFile(file_), "\xEF\xBB\xBF[user]\nuuid=v\n");
}

#ifndef _WIN32
// Permission bits, umask, symbolic links and file size limits are POSIX notions.
TEST_F(ProfileFile, WriteCreatesMissingFileWithUmaskPermissions) {
  mode_t previous = umask(027);
  bool written = WritePrivateProfileString("user", "uuid", "v", file_);
  umask(previous);
  ASSERT_TRUE(written);
  EXPECT_EQ(ReadFile(file_), "[user]\nuuid=v\n");
  using std::filesystem::perms;
  EXPECT_EQ(Permissions(file_), perms::owner_read | perms::owner_write | perms::group_read);
  EXPECT_EQ(FolderEntries(dir_.path()), std::set<std::string>{"config.ini"});
}

TEST_F(ProfileFile, WriteKeepsPermissionBitsAndFollowsSymbolicLinks) {
  std::string target = dir_.file("real.ini");
  WriteFile(target, "[user]\nuuid=old\n");
  std::filesystem::permissions(target, std::filesystem::perms(0604));
  std::filesystem::create_symlink("real.ini", file_);
  ASSERT_TRUE(WritePrivateProfileString("user", "uuid", "new", file_));
  EXPECT_TRUE(std::filesystem::is_symlink(file_));
  EXPECT_EQ(ReadFile(target), "[user]\nuuid=new\n");
  EXPECT_EQ(Permissions(target), std::filesystem::perms(0604));
  EXPECT_EQ(FolderEntries(dir_.path()), (std::set<std::string>{"config.ini", "real.ini"}));
}

#endif  // _WIN32

TEST_F(ProfileFile, WriteRefusesTextThatWouldBreakTheFile) {
  const std::string before = "[user]\nuuid=old\n";
  WriteFile(file_, before);
  EXPECT_FALSE(WritePrivateProfileString("user", "uuid", "a\nb=c", file_));
  EXPECT_FALSE(WritePrivateProfileString("user", "uuid", "a\rb", file_));
  EXPECT_FALSE(WritePrivateProfileString("user", "uuid", std::string("a\0b", 3), file_));
  EXPECT_FALSE(WritePrivateProfileString("user", "u=id", "x", file_));
  EXPECT_FALSE(WritePrivateProfileString("user", "[uuid", "x", file_));
  EXPECT_FALSE(WritePrivateProfileString("us]er", "uuid", "x", file_));
  EXPECT_FALSE(WritePrivateProfileString("us\ner", "uuid", "x", file_));
  EXPECT_EQ(ReadFile(file_), before);
  EXPECT_EQ(FolderEntries(dir_.path()), std::set<std::string>{"config.ini"});
}

TEST_F(ProfileFile, WriteThatWouldTakeTheFilePastItsBoundLeavesItAlone) {
  // A file just under the bound, one the reader still reads: the entry fits
  // exactly, one byte more and the grown file would no longer be readable.
  const std::string head = "[root]\ndownloader_id=3\n;";
  const std::string entry = "[user]\nuuid=v\n";
  const size_t bound = 64 * 1024;
  const std::string fits = head + std::string(bound - head.size() - 1 - entry.size(), 'x') + "\n";
  WriteFile(file_, fits);
  EXPECT_TRUE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_EQ(ReadFile(file_).size(), bound);
  EXPECT_EQ(GetPrivateProfileString("user", "uuid", "<default>", file_), "v");

  WriteFile(file_, fits);
  EXPECT_FALSE(WritePrivateProfileString("user", "uuid", "vv", file_));
  EXPECT_EQ(ReadFile(file_), fits);
  EXPECT_EQ(GetPrivateProfileInt("root", "downloader_id", 0, file_), 3u);
  EXPECT_EQ(FolderEntries(dir_.path()), std::set<std::string>{"config.ini"});
}

TEST_F(ProfileFile, WriteFailsWhenTheFileIsAFolder) {
  std::filesystem::create_directory(file_);
  EXPECT_FALSE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_TRUE(std::filesystem::is_directory(file_));
  EXPECT_EQ(FolderEntries(dir_.path()), std::set<std::string>{"config.ini"});
}

#ifndef _WIN32
// Permission bits, umask, symbolic links and file size limits are POSIX notions.
TEST_F(ProfileFile, WriteIntoFolderWithoutWriteAccessFailsAndLeavesNothing) {
  const std::string before = "[root]\ndownloader_id=3\n";
  WriteFile(file_, before);
  std::filesystem::permissions(dir_.path(), std::filesystem::perms(0555));
  if (CanWriteInto(dir_.path())) GTEST_SKIP() << "permission bits do not bind this user (root)";
  EXPECT_FALSE(WritePrivateProfileString("user", "uuid", "v", file_));
  EXPECT_FALSE(WritePrivateProfileString("user", "uuid", "v", dir_.file("absent.ini")));
  EXPECT_EQ(ReadFile(file_), before);
  EXPECT_EQ(FolderEntries(dir_.path()), std::set<std::string>{"config.ini"});
}

TEST_F(ProfileFile, WriteThatFailsHalfwayRemovesItsTemporaryFile) {
  // A file size limit below the file's size makes writing the temporary copy
  // fail after it has been created, for any user.
  const std::string before = "[root]\n" + std::string(4000, ';') + "\n[user]\nuuid=\n";
  WriteFile(file_, before);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool written = WritePrivateProfileString("user", "uuid", "v", file_);
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(written);
  EXPECT_EQ(ReadFile(file_), before);
  EXPECT_EQ(FolderEntries(dir_.path()), std::set<std::string>{"config.ini"});
}

#endif  // _WIN32

}  // namespace
