// The info request and the reference page that its answer points at.
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "service_fixture.h"

namespace tarnel::standin::test {
namespace {

using nlohmann::json;

class InfoRequest : public ServiceFixture {};
class ReferencePage : public ServiceFixture {};

// Path and query of an absolute http address on the service.
std::string PathOf(const std::string& url, const std::string& base) {
  EXPECT_EQ(url.rfind(base, 0), 0u) << url << " does not start with " << base;
  return url.substr(base.size());
}

TEST_F(InfoRequest, KnownIdAnswersNameAndPageAddressOnThisService) {
  StartService();
  auto answer = client().Get("/downloader.php/index/info?id=1");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  EXPECT_EQ(answer->get_header_value("Content-Type"), "application/json");
  const json body = json::parse(answer->body);
  const json expected = {
      {"code", 200}, {"data", {{"name", "Tarnel 演示安装包"}, {"url1", service().BaseUrl() + "/pages/1/index.html"}}}};
  EXPECT_EQ(body, expected);

  auto page = client().Get(PathOf(body["data"]["url1"], service().BaseUrl()));
  ASSERT_TRUE(page);
  EXPECT_EQ(page->status, 200);
  EXPECT_EQ(page->get_header_value("Content-Type"), "text/html; charset=utf-8");
  EXPECT_NE(page->body.find("<script src=\"page.js\""), std::string::npos);
}

TEST_F(InfoRequest, UnknownMissingOrMalformedIdAnswers404) {
  StartService();
  for (const char* target :
       {"/downloader.php/index/info?id=2", "/downloader.php/index/info?id=", "/downloader.php/index/info",
        "/downloader.php/index/info?id=abc", "/downloader.php/index/info?id=1a", "/downloader.php/index/info?id=-1",
        "/downloader.php/index/info?id=+1", "/downloader.php/index/info?id=%201",
        "/downloader.php/index/info?id=18446744073709551617"}) {
    SCOPED_TRACE(target);
    auto answer = client().Get(target);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404);
    EXPECT_EQ(json::parse(answer->body), json({{"code", 404}}));
  }
}

TEST_F(InfoRequest, PageAddressFollowsTheHostHeaderAndIgnoresAMalformedOne) {
  StartService();
  const std::string port = std::to_string(service().port());
  auto by_name = client().Get("/downloader.php/index/info?id=1", {{"Host", "localhost:" + port}});
  ASSERT_TRUE(by_name);
  EXPECT_EQ(json::parse(by_name->body)["data"]["url1"], "http://localhost:" + port + "/pages/1/index.html");

  auto malformed = client().Get("/downloader.php/index/info?id=1", {{"Host", "evil.example/x?"}});
  ASSERT_TRUE(malformed);
  EXPECT_EQ(json::parse(malformed->body)["data"]["url1"], service().BaseUrl() + "/pages/1/index.html");
}

TEST_F(ReferencePage, FilesAreServedWithTheirTypes) {
  StartService();
  const std::pair<const char*, const char*> files[] = {
      {"/pages/1/", "text/html; charset=utf-8"},
      {"/pages/1/index.html", "text/html; charset=utf-8"},
      {"/pages/1/page.css", "text/css; charset=utf-8"},
      {"/pages/1/page.js", "text/javascript; charset=utf-8"},
  };
  for (const auto& [path, type] : files) {
    SCOPED_TRACE(path);
    auto answer = client().Get(path);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    EXPECT_EQ(answer->get_header_value("Content-Type"), type);
    EXPECT_FALSE(answer->body.empty());
  }
}

TEST_F(ReferencePage, PackageJsonNamesThePackageAndAnInstallerOnThisService) {
  StartService();
  auto answer = client().Get("/pages/1/package.json");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  const json body = json::parse(answer->body);
  EXPECT_EQ(body["id"], 1);
  EXPECT_EQ(body["name"], "Tarnel 演示安装包");
  const std::string installer = body["installer_url"];
  EXPECT_EQ(installer, service().BaseUrl() + "/files/tarnel-demo-setup.sh");

  auto file = client().Get(PathOf(installer, service().BaseUrl()), {{"Range", "bytes=0-9"}});
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 206);
  EXPECT_EQ(file->body, "#!/bin/sh\n");
}

TEST_F(ReferencePage, UnknownPackagesAndFilesAnswer404AndABareFolderRedirects) {
  StartService();
  for (const char* path : {"/pages/2/index.html", "/pages/1/missing.js", "/pages/1/.hidden", "/pages/x/index.html"}) {
    SCOPED_TRACE(path);
    auto answer = client().Get(path);
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 404);
  }
  auto bare = client().Get("/pages/1");
  ASSERT_TRUE(bare);
  EXPECT_EQ(bare->status, 301);
  EXPECT_EQ(bare->get_header_value("Location"), "/pages/1/");
}

}  // namespace
}  // namespace tarnel::standin::test
