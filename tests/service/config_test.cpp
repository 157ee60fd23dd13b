#include "service/config.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>

#include "support/temp_dir.h"

namespace {

using tarnel::service::ConfigFileBeside;
using tarnel::service::ConfigValues;
using tarnel::service::CurrentUtcTime;
using tarnel::service::FormatInfoUrl;
using tarnel::service::GenerateUuid;
using tarnel::service::InfoBaseUrl;
using tarnel::service::LogUrl;
using tarnel::service::MakeTimeStamp;
using tarnel::service::RandomAlnumString;
using tarnel::service::ReadConfig;
using tarnel::service::SystemTime;
using tarnel::test::ReadFile;
using tarnel::test::TempDir;
using tarnel::test::WriteFile;

constexpr std::string_view kAlphabet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
const std::string kBase = "https://api.example.test/downloader.php/index/info";

bool AllFromAlphabet(std::string_view text) { return text.find_first_not_of(kAlphabet) == std::string_view::npos; }

std::set<std::string> FolderEntries(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.insert(entry.path().filename().string());
  return names;
}

// Hands out "GEN-1", "GEN-2", ... and counts the calls.
struct CountingGenerator {
  int calls = 0;
  std::string operator()() { return "GEN-" + std::to_string(++calls); }
};

class Config : public ::testing::Test {
 protected:
  ConfigValues Load() {
    return ReadConfig(file_, kBase, [this] { return generator_(); });
  }
  ConfigValues LoadFrom(const std::string& content) {
    WriteFile(file_, content);
    return Load();
  }

  TempDir dir_;
  std::string file_ = dir_.file("config.ini");
  CountingGenerator generator_;
};

TEST_F(Config, NonZeroIdFormsTheInfoAddressAndIgnoresApiUrl) {
  ConfigValues values = LoadFrom("[root]\ndownloader_id=12\napi_url=https://other.test/x\n[user]\nuuid=u\n");
  EXPECT_EQ(values.downloaderId, 12u);
  EXPECT_EQ(values.infoUrl, kBase + "?id=12");

  values = LoadFrom("[root]\ndownloader_id=12abc\napi_url=https://other.test/x\n[user]\nuuid=u\n");
  EXPECT_EQ(values.downloaderId, 12u);
  EXPECT_EQ(values.infoUrl, kBase + "?id=12");

  // Ids above INT_MAX go out as the unsigned number they are.
  values = LoadFrom("[root]\ndownloader_id=3000000000\n[user]\nuuid=u\n");
  EXPECT_EQ(values.downloaderId, 3000000000u);
  EXPECT_EQ(values.infoUrl, kBase + "?id=3000000000");
  EXPECT_EQ(FormatInfoUrl(kBase, 4294967295u), kBase + "?id=4294967295");
  EXPECT_EQ(FormatInfoUrl("", 7), "?id=7");
}

TEST_F(Config, ZeroOrMissingIdUsesApiUrlUnchanged) {
  const std::string apiUrl = "https://other.test/info?id=99&x=1";
  for (const std::string rootLines : {"downloader_id=0\n", "", "downloader_id=abc\n", "downloader_id=\n"}) {
    SCOPED_TRACE(rootLines);
    ConfigValues values = LoadFrom("[root]\n" + rootLines + "api_url=" + apiUrl + "\n[user]\nuuid=u\n");
    EXPECT_EQ(values.downloaderId, 0u);
    EXPECT_EQ(values.infoUrl, apiUrl);
  }
}

TEST_F(Config, NeitherIdNorApiUrlGivesEmptyInfoAddress) {
  ConfigValues values = LoadFrom("[root]\n[user]\nuuid=u\n");
  EXPECT_EQ(values.downloaderId, 0u);
  EXPECT_EQ(values.infoUrl, "");
}

TEST_F(Config, PresentIdentifierIsUsedUnchangedAndFileIsNotWritten) {
  const std::string content = "[root]\r\ndownloader_id=1\r\n[user]\r\nuuid = \"short-id\" \r\n";
  ConfigValues values = LoadFrom(content);
  EXPECT_EQ(values.uuid, "short-id");
  EXPECT_FALSE(values.uuidGenerated);
  EXPECT_EQ(generator_.calls, 0);
  EXPECT_EQ(ReadFile(file_), content);
}

TEST_F(Config, EmptyIdentifierIsGeneratedAndWrittenKeepingTheRestOfTheFile) {
  const std::string before =
      "\xEF\xBB\xBF; Tarnel\r\n"
      "[root]\r\n"
      "  downloader_id =  12\t\r\n"
      "api_url=\"https://other.test\"\r\n"
      "\r\n"
      "[extra]\r\n"
      "k = v ; not a comment\r\n"
      "[user]\r\n"
      "uuid=\r\n"
      "\r\n";
  ConfigValues values = LoadFrom(before);
  EXPECT_EQ(values.uuid, "GEN-1");
  EXPECT_TRUE(values.uuidGenerated);
  std::string expected = before;
  expected.replace(expected.find("uuid=\r\n"), 7, "uuid=GEN-1\r\n");
  EXPECT_EQ(ReadFile(file_), expected);
}

TEST_F(Config, GeneratedIdentifierIsWrittenOnceAndKeptLater) {
  const std::string before = "[root]\ndownloader_id=12\n";
  ConfigValues first = LoadFrom(before);
  ConfigValues second = Load();
  EXPECT_EQ(generator_.calls, 1);
  EXPECT_TRUE(first.uuidGenerated);
  EXPECT_FALSE(second.uuidGenerated);
  EXPECT_EQ(second.uuid, first.uuid);
  EXPECT_EQ(ReadFile(file_), before + "[user]\nuuid=GEN-1\n");
}

TEST_F(Config, MissingFileIsCreatedWithTheIdentifier) {
  ConfigValues values = Load();
  EXPECT_EQ(values.downloaderId, 0u);
  EXPECT_EQ(values.infoUrl, "");
  EXPECT_EQ(values.uuid, "GEN-1");
  EXPECT_EQ(ReadFile(file_), "[user]\nuuid=GEN-1\n");
  EXPECT_EQ(FolderEntries(dir_.path()), std::set<std::string>{"config.ini"});
}

TEST_F(Config, MissingUserSectionIsAddedWithTheFilesLineEnding) {
  ConfigValues values = LoadFrom("[root]\r\ndownloader_id=7\r\n");
  EXPECT_EQ(values.uuid, "GEN-1");
  EXPECT_EQ(ReadFile(file_), "[root]\r\ndownloader_id=7\r\n[user]\r\nuuid=GEN-1\r\n");
}

TEST_F(Config, UnwritableFolderKeepsTheIdentifierInMemoryOnly) {
  const std::string before = "[root]\ndownloader_id=12\n";
  WriteFile(file_, before);
  std::filesystem::permissions(dir_.path(), std::filesystem::perms(0555));
  WriteFile(dir_.file("probe"), "x");
  if (std::filesystem::exists(dir_.file("probe"))) GTEST_SKIP() << "permission bits do not bind this user (root)";

  ConfigValues first = Load();
  EXPECT_EQ(first.downloaderId, 12u);
  EXPECT_EQ(first.uuid, "GEN-1");
  EXPECT_EQ(ReadFile(file_), before);
  EXPECT_EQ(FolderEntries(dir_.path()), std::set<std::string>{"config.ini"});
  // The next start makes a new one.
  EXPECT_EQ(Load().uuid, "GEN-2");
}

#ifndef _WIN32
TEST_F(Config, FifoReadsAsAnEmptyProfileWithoutBlockingOrWriting) {
  // A FIFO nobody writes to would block an ordinary open for ever.
  ASSERT_EQ(mkfifo(file_.c_str(), 0644), 0);
  const auto started = std::chrono::steady_clock::now();
  ConfigValues fromFifo = Load();
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_EQ(fromFifo.downloaderId, 0u);
  EXPECT_TRUE(fromFifo.infoUrl.empty());
  EXPECT_EQ(fromFifo.uuid, "GEN-1");
  EXPECT_TRUE(std::filesystem::is_fifo(file_));
}
#endif  // _WIN32

TEST_F(Config, OversizedFileReadsAsAnEmptyProfileWithoutWriting) {
  // Within the bound the file is read; one byte past it, it is not a profile.
  std::string content = "[root]\ndownloader_id=12\n[user]\nuuid=KEEP\n;";
  content += std::string(64 * 1024 - content.size(), 'x');
  EXPECT_EQ(LoadFrom(content).downloaderId, 12u);
  const ConfigValues oversized = LoadFrom(content + "x");
  EXPECT_EQ(oversized.downloaderId, 0u);
  EXPECT_EQ(oversized.uuid, "GEN-1");
  EXPECT_EQ(ReadFile(file_), content + "x");
}

TEST_F(Config, FileTooNearItsBoundForTheIdentifierKeepsItInMemoryOnly) {
  // Written, the identifier would take the file past what is read as a
  // profile, and the downloader id with it.
  std::string content = "[root]\ndownloader_id=12\n;";
  content += std::string(64 * 1024 - 10 - content.size(), 'x');
  const ConfigValues values = LoadFrom(content);
  EXPECT_EQ(values.downloaderId, 12u);
  EXPECT_EQ(values.uuid, "GEN-1");
  EXPECT_TRUE(values.uuidGenerated);
  EXPECT_EQ(ReadFile(file_), content);
  EXPECT_EQ(Load().downloaderId, 12u);
}

TEST_F(Config, EmptyGeneratorFallsBackToGenerateUuid) {
  ConfigValues values = ReadConfig(file_, kBase, {});
  EXPECT_EQ(values.uuid.size(), 32u);
  EXPECT_EQ(ReadFile(file_), "[user]\nuuid=" + values.uuid + "\n");
}

#ifdef _WIN32
TEST(ConfigFileBeside, TakesEitherSlashOnWindows) {
  EXPECT_EQ(ConfigFileBeside("C:\\Program Files\\Tarnel\\tarnel.exe"), "C:\\Program Files\\Tarnel\\config.ini");
  EXPECT_EQ(ConfigFileBeside("C:/Tools\\x/tarnel.exe"), "C:/Tools\\x/config.ini");
}
#endif

TEST(ConfigFileBeside, UsesTheFolderUpToTheLastSlash) {
  EXPECT_EQ(ConfigFileBeside("/opt/tarnel/bin/tarnel"), "/opt/tarnel/bin/config.ini");
  EXPECT_EQ(ConfigFileBeside("/tarnel"), "/config.ini");
  EXPECT_EQ(ConfigFileBeside("rel/dir/tarnel"), "rel/dir/config.ini");
  EXPECT_EQ(ConfigFileBeside("tarnel"), "config.ini");
#ifndef _WIN32
  EXPECT_EQ(ConfigFileBeside("C:\\apps\\tarnel.exe"), "config.ini") << "a backslash is no separator here";
#endif
  EXPECT_EQ(ConfigFileBeside(""), "config.ini");
}

TEST(ServiceAddresses, InfoAndLogShareTheApiHost) {
  const std::string info = InfoBaseUrl();
  const std::string log = LogUrl();
  const std::string infoPath = "/downloader.php/index/info";
  const std::string logPath = "/downloader.php/index/log";
  ASSERT_TRUE(info.ends_with(infoPath));
  ASSERT_TRUE(log.ends_with(logPath));
  std::string host = info.substr(0, info.size() - infoPath.size());
  EXPECT_EQ(log.substr(0, log.size() - logPath.size()), host);
  EXPECT_TRUE(host.starts_with("http://") || host.starts_with("https://")) << host;
}

TEST(TimeStamp, WritesFieldsAsZeroFilledUppercaseHex) {
  EXPECT_EQ(MakeTimeStamp(SystemTime{2026, 12, 2, 8, 3, 42, 22, 123}), "7EA0C08032A1607B");
  EXPECT_EQ(MakeTimeStamp(SystemTime{2024, 1, 0, 2, 3, 4, 5, 6}), "7E80102030405006");
  EXPECT_EQ(MakeTimeStamp(SystemTime{2024, 1, 6, 2, 3, 4, 5, 6}), "7E80102030405006") << "day of week unused";
  EXPECT_EQ(MakeTimeStamp(SystemTime{4095, 12, 0, 31, 23, 59, 59, 999}), "FFF0C1F173B3B3E7");
  // The year takes as many digits as it needs.
  EXPECT_EQ(MakeTimeStamp(SystemTime{255, 1, 0, 1, 0, 0, 0, 0}), "FF0101000000000");
  EXPECT_EQ(MakeTimeStamp(SystemTime{4096, 1, 0, 1, 0, 0, 0, 0}), "10000101000000000");
}

TEST(Uuid, TimeStampThenRandomCharactersMakeExactly32) {
  struct Case {
    SystemTime time;
    std::string stamp;
  };
  for (const Case& c :
       {Case{{2026, 12, 2, 8, 3, 42, 22, 123}, "7EA0C08032A1607B"}, Case{{255, 1, 0, 1, 0, 0, 0, 0}, "FF0101000000000"},
        Case{{4096, 1, 0, 1, 0, 0, 0, 0}, "10000101000000000"}}) {
    SCOPED_TRACE(c.stamp);
    std::string uuid = GenerateUuid(c.time);
    ASSERT_EQ(uuid.size(), 32u);
    EXPECT_EQ(uuid.substr(0, c.stamp.size()), c.stamp);
    EXPECT_TRUE(AllFromAlphabet(uuid.substr(c.stamp.size()))) << uuid;
  }
  // Same time, different random part.
  SystemTime t{2026, 12, 2, 8, 3, 42, 22, 123};
  EXPECT_NE(GenerateUuid(t), GenerateUuid(t));
}

TEST(Uuid, WithoutArgumentStartsWithTheCurrentUtcTimeStamp) {
  std::string before = MakeTimeStamp();
  std::string uuid = GenerateUuid();
  std::string after = MakeTimeStamp();
  ASSERT_EQ(uuid.size(), 32u);
  // Same-length stamps of fixed-width fields order like the times they stand for.
  ASSERT_EQ(before.size(), 16u);
  EXPECT_LE(before, uuid.substr(0, 16));
  EXPECT_GE(after, uuid.substr(0, 16));
  EXPECT_TRUE(AllFromAlphabet(uuid.substr(16))) << uuid;
}

TEST(RandomAlnumString, DrawsTheRequestedCountFromAll62Characters) {
  EXPECT_EQ(RandomAlnumString(0), "");
  std::string text = RandomAlnumString(5000);
  ASSERT_EQ(text.size(), 5000u);
  EXPECT_TRUE(AllFromAlphabet(text));
  EXPECT_EQ(std::set<char>(text.begin(), text.end()).size(), 62u);
  EXPECT_NE(RandomAlnumString(16), RandomAlnumString(16));
}

#ifndef _WIN32
// The TZ variable is how POSIX systems choose the local zone.
TEST(CurrentUtcTime, IsTheRealClockInUtcWhateverTheTimeZone) {
  const char* savedTz = std::getenv("TZ");
  std::string saved = savedTz ? savedTz : "";
  setenv("TZ", "TST-9", 1);  // nine hours east of UTC
  tzset();
  std::time_t before = std::time(nullptr);
  SystemTime now = CurrentUtcTime();
  std::time_t after = std::time(nullptr);
  if (savedTz) {
    setenv("TZ", saved.c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();

  std::tm fields{};
  fields.tm_year = now.year - 1900;
  fields.tm_mon = now.month - 1;
  fields.tm_mday = now.day;
  fields.tm_hour = now.hour;
  fields.tm_min = now.minute;
  fields.tm_sec = now.second;
  std::time_t read = timegm(&fields);
  EXPECT_GE(read, before);
  EXPECT_LE(read, after);
  EXPECT_LT(now.milliseconds, 1000);
  EXPECT_EQ(now.dayOfWeek, fields.tm_wday);  // timegm filled in the true day of the week
}

#endif  // _WIN32

}  // namespace
