// Validators, answers cut short on purpose, and the checksums the service
// publishes: what a resuming, verifying client relies on.
#include <array>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <nlohmann/json.hpp>

#include "catalog.h"
#include "command_line.h"
#include "service_fixture.h"

namespace tarnel::standin::test {
namespace {

using nlohmann::json;
constexpr const char* kDemoPath = "/files/tarnel-demo-setup.sh";

std::string Sha256Hex(const std::string& bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 15];
  }
  return hex;
}

std::string Sha256Base64(const std::string& bytes) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr);
  std::array<unsigned char, 64> text{};
  const int written = EVP_EncodeBlock(text.data(), digest.data(), static_cast<int>(length));
  return std::string(reinterpret_cast<const char*>(text.data()), static_cast<std::size_t>(written));
}

// One GET through libcurl, which tells a body cut short from a whole one.
struct Fetched {
  CURLcode result = CURLE_OK;
  long status = 0;
  std::string body;
};

Fetched CurlGet(const std::string& url, const std::vector<std::string>& headers = {}) {
  Fetched fetched;
  CURL* curl = curl_easy_init();
  curl_slist* list = nullptr;
  for (const auto& header : headers) list = curl_slist_append(list, header.c_str());
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, list);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  curl_easy_setopt(
      curl, CURLOPT_WRITEFUNCTION, +[](char* data, size_t, size_t n, void* out) {
        static_cast<std::string*>(out)->append(data, n);
        return n;
      });
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &fetched.body);
  fetched.result = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &fetched.status);
  curl_slist_free_all(list);
  curl_easy_cleanup(curl);
  return fetched;
}

class Resume : public ServiceFixture {};

TEST_F(Resume, FilesCarryAStrongETagThatFollowsTheContent) {
  WriteTempFile("files/tool.bin", std::string(5000, 'a'));
  ServiceOptions options;
  options.demo_size = 100000;
  options.files_dir = temp() / "files";
  StartService(options);
  auto demo = client().Get(kDemoPath);
  ASSERT_TRUE(demo);
  const std::string etag = demo->get_header_value("ETag");
  EXPECT_EQ(etag.front(), '"');
  EXPECT_EQ(etag.back(), '"');
  EXPECT_NE(etag.substr(0, 3), "W/\"");
  EXPECT_EQ(client().Get(kDemoPath)->get_header_value("ETag"), etag);

  const std::string before = client().Get("/files/tool.bin")->get_header_value("ETag");
  EXPECT_NE(before, etag);
  // Same size, new content; a moment later, as file times are coarse.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  WriteTempFile("files/tool.bin", std::string(5000, 'b'));
  const std::string after = client().Get("/files/tool.bin")->get_header_value("ETag");
  EXPECT_FALSE(after.empty());
  EXPECT_NE(after, before);
}

TEST_F(Resume, IfRangeWithTheCurrentETagGivesTheRangeAndAnythingElseTheWholeFile) {
  ServiceOptions options;
  options.demo_size = 100000;
  StartService(options);
  auto whole = client().Get(kDemoPath);
  ASSERT_TRUE(whole);
  const std::string etag = whole->get_header_value("ETag");

  auto part = client().Get(kDemoPath, {{"Range", "bytes=1000-"}, {"If-Range", etag}});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->get_header_value("Content-Range"), "bytes 1000-99999/100000");
  EXPECT_EQ(part->body, whole->body.substr(1000));

  for (const char* validator : {"\"other\"", "Wed, 09 Dec 2026 10:00:00 GMT", "W/\"186a0-demo\""}) {
    SCOPED_TRACE(validator);
    auto answer = client().Get(kDemoPath, {{"Range", "bytes=1000-"}, {"If-Range", validator}});
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_FALSE(answer->has_header("Content-Range"));
    EXPECT_EQ(answer->body, whole->body);
  }
}

TEST_F(Resume, DropAfterCutsTheFirstAnswersAndTheRestResumes) {
  ServiceOptions options;
  options.demo_size = 300000;
  options.drop_after = 100000;
  options.drop_count = 2;
  StartService(options);
  const std::string url = service().BaseUrl() + kDemoPath;

  // Shorter than the cut: whole, and no cut is used up.
  auto small = CurlGet(url, {"Range: bytes=0-99"});
  EXPECT_EQ(small.result, CURLE_OK);
  EXPECT_EQ(small.body.size(), 100u);

  auto first = CurlGet(url);
  EXPECT_EQ(first.result, CURLE_PARTIAL_FILE);
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body.size(), 100000u);

  auto second = CurlGet(url, {"Range: bytes=100000-"});
  EXPECT_EQ(second.result, CURLE_PARTIAL_FILE);
  EXPECT_EQ(second.status, 206);
  EXPECT_EQ(second.body.size(), 100000u);

  auto third = CurlGet(url, {"Range: bytes=200000-"});
  EXPECT_EQ(third.result, CURLE_OK);
  EXPECT_EQ(third.status, 206);
  EXPECT_EQ(third.body.size(), 100000u);

  const auto traffic = service().FileTraffic();
  EXPECT_EQ(traffic.requests, 4u);
  EXPECT_EQ(traffic.body_bytes, 100u + 300000u);

  auto whole = CurlGet(url);
  ASSERT_EQ(whole.result, CURLE_OK);
  EXPECT_EQ(first.body + second.body + third.body, whole.body);
}

TEST_F(Resume, DropAfterZeroEndsRightAfterTheHeaders) {
  ServiceOptions options;
  options.demo_size = 5000;
  options.drop_after = 0;
  StartService(options);
  const std::string url = service().BaseUrl() + kDemoPath;
  auto cut = CurlGet(url);
  EXPECT_EQ(cut.result, CURLE_PARTIAL_FILE);
  EXPECT_TRUE(cut.body.empty());
  auto next = CurlGet(url);  // the default count is one
  EXPECT_EQ(next.result, CURLE_OK);
  EXPECT_EQ(next.body.size(), 5000u);
}

TEST_F(Resume, DropAfterTakesBytesAndAnOptionalCountOnTheCommandLine) {
  auto parsed = ParseCommandLine({"--drop-after", "1M:3"});
  ASSERT_TRUE(parsed.options.drop_after);
  EXPECT_EQ(*parsed.options.drop_after, 1u << 20);
  EXPECT_EQ(parsed.options.drop_count, 3u);
  parsed = ParseCommandLine({"--drop-after=4096"});
  EXPECT_EQ(*parsed.options.drop_after, 4096u);
  EXPECT_EQ(parsed.options.drop_count, 1u);
  EXPECT_FALSE(ParseCommandLine({}).options.drop_after);
  for (const char* bad : {"", ":2", "1M:", "1M:0", "1M:x", "many", "1M:2:3"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(ParseCommandLine({"--drop-after", bad}), UsageError);
  }
}

class Checksums : public ServiceFixture {};

TEST_F(Checksums, BuiltInPackagePublishesTheDemoInstallersSha256) {
  ServiceOptions options;
  options.demo_size = 123457;
  StartService(options);
  auto file = client().Get(kDemoPath);
  ASSERT_TRUE(file);
  auto package = client().Get("/pages/1/package.json");
  ASSERT_TRUE(package);
  EXPECT_EQ(json::parse(package->body)["sha256"], Sha256Hex(file->body));
  EXPECT_EQ(file->get_header_value("Repr-Digest"), "sha-256=:" + Sha256Base64(file->body) + ":");
  // A range carries the digest of the whole file.
  auto part = client().Get(kDemoPath, {{"Range", "bytes=10-20"}});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->get_header_value("Repr-Digest"), file->get_header_value("Repr-Digest"));
}

TEST_F(Checksums, CatalogueGivesAChecksumOrAskedForOneToBeComputed) {
  const std::string tool(70000, 'x');
  WriteTempFile("files/tool.bin", tool);
  const std::string given(64, 'A');
  const auto catalog =
      WriteTempFile("catalog.json", json{{"packages",
                                          {{{"id", 1}, {"name", "Given"}, {"sha256", given}},
                                           {{"id", 2}, {"name", "Auto"}, {"installer", "tool.bin"}, {"sha256", "auto"}},
                                           {{"id", 3}, {"name", "None"}}}}}
                                        .dump());
  ServiceOptions options;
  options.catalog_file = catalog;
  options.files_dir = temp() / "files";
  StartService(options);
  EXPECT_EQ(json::parse(client().Get("/pages/1/package.json")->body)["sha256"], std::string(64, 'a'));
  EXPECT_EQ(json::parse(client().Get("/pages/2/package.json")->body)["sha256"], Sha256Hex(tool));
  EXPECT_FALSE(json::parse(client().Get("/pages/3/package.json")->body).contains("sha256"));
  EXPECT_EQ(client().Get("/files/tool.bin")->get_header_value("Repr-Digest"), "sha-256=:" + Sha256Base64(tool) + ":");
  // Only a computed checksum is sent as the file's digest.
  EXPECT_FALSE(client().Get(kDemoPath)->has_header("Repr-Digest"));
}

TEST_F(Checksums, AChangedFileLosesItsDigestHeader) {
  WriteTempFile("files/tool.bin", "first content");
  const auto catalog = WriteTempFile(
      "catalog.json",
      json{{"packages", {{{"id", 2}, {"name", "Auto"}, {"installer", "tool.bin"}, {"sha256", "auto"}}}}}.dump());
  ServiceOptions options;
  options.catalog_file = catalog;
  options.files_dir = temp() / "files";
  StartService(options);
  EXPECT_TRUE(client().Get("/files/tool.bin")->has_header("Repr-Digest"));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // file times are coarse
  WriteTempFile("files/tool.bin", "other content");
  auto changed = client().Get("/files/tool.bin");
  ASSERT_TRUE(changed);
  EXPECT_EQ(changed->body, "other content");
  EXPECT_FALSE(changed->has_header("Repr-Digest"));
}

TEST(CatalogChecksum, MalformedChecksumsAreRefused) {
  const auto load = [](const json& package) { return Catalog::FromJson(json{{"packages", json::array({package})}}); };
  EXPECT_THROW(load({{"id", 1u}, {"name", "n"}, {"sha256", std::string(63, 'a')}}), CatalogError);
  EXPECT_THROW(load({{"id", 1u}, {"name", "n"}, {"sha256", std::string(64, 'g')}}), CatalogError);
  EXPECT_THROW(load({{"id", 1u}, {"name", "n"}, {"sha256", 5}}), CatalogError);
  EXPECT_THROW(load({{"id", 1u}, {"name", "n"}, {"installer", "https://cdn.example/x.exe"}, {"sha256", "auto"}}),
               CatalogError);
  EXPECT_EQ(load({{"id", 1u}, {"name", "n"}, {"sha256", std::string(64, 'F')}}).packages()[0].sha256,
            std::string(64, 'f'));
}

}  // namespace
}  // namespace tarnel::standin::test
