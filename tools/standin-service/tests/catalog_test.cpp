// Catalogue files: loading, and faults reported when the service starts.
#include <ostream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "service_fixture.h"

namespace tarnel::standin::test {
namespace {

using nlohmann::json;

class CatalogFile : public ServiceFixture {};

TEST_F(CatalogFile, PackagesOfTheFileAreAnsweredInsteadOfTheBuiltInOne) {
  WriteTempFile("files/viewer-setup.exe", "MZ installer bytes");
  const auto catalog = WriteTempFile("catalog.json", R"({
    "packages": [
      {"id": 7, "name": "Example Viewer", "page": "https://vendor.example/landing.html"},
      {"id": 8, "name": "Viewer Pro", "installer": "viewer-setup.exe", "homepage": "https://vendor.example/",
       "_note": "keys starting with an underscore are comments"},
      {"id": 9, "name": "Remote", "installer": "https://cdn.example/remote-setup.exe"}
    ]
  })");
  ServiceOptions options;
  options.catalog_file = catalog;
  options.files_dir = temp() / "files";
  StartService(options);

  auto seven = client().Get("/downloader.php/index/info?id=7");
  ASSERT_TRUE(seven);
  EXPECT_EQ(
      json::parse(seven->body),
      json({{"code", 200}, {"data", {{"name", "Example Viewer"}, {"url1", "https://vendor.example/landing.html"}}}}));

  auto eight = client().Get("/downloader.php/index/info?id=8");
  ASSERT_TRUE(eight);
  EXPECT_EQ(json::parse(eight->body)["data"]["url1"], service().BaseUrl() + "/pages/8/index.html");
  auto eight_package = client().Get("/pages/8/package.json");
  ASSERT_TRUE(eight_package);
  const json package = json::parse(eight_package->body);
  EXPECT_EQ(package["installer_url"], service().BaseUrl() + "/files/viewer-setup.exe");
  EXPECT_EQ(package["homepage"], "https://vendor.example/");
  auto installer = client().Get("/files/viewer-setup.exe");
  ASSERT_TRUE(installer);
  EXPECT_EQ(installer->body, "MZ installer bytes");

  auto nine_package = client().Get("/pages/9/package.json");
  ASSERT_TRUE(nine_package);
  EXPECT_EQ(json::parse(nine_package->body)["installer_url"], "https://cdn.example/remote-setup.exe");

  auto built_in = client().Get("/downloader.php/index/info?id=1");
  ASSERT_TRUE(built_in);
  EXPECT_EQ(json::parse(built_in->body), json({{"code", 404}}));
}

struct BadCatalog {
  const char* label;
  const char* text;
  const char* reported;  // part of the error message
};

void PrintTo(const BadCatalog& bad, std::ostream* out) { *out << bad.label; }

class BadCatalogFile : public ServiceFixture, public ::testing::WithParamInterface<BadCatalog> {};

TEST_P(BadCatalogFile, IsReportedAsAnErrorAtStart) {
  const auto catalog = WriteTempFile("catalog.json", GetParam().text);
  ServiceOptions options;
  options.catalog_file = catalog;
  options.port = 0;
  StandinService service(options);
  try {
    service.Start();
    FAIL() << "the service started";
  } catch (const StartError& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().reported), std::string::npos) << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, BadCatalogFile,
    ::testing::Values(
        BadCatalog{"NotJson", "{\"packages\": [", "not valid JSON"},
        BadCatalog{"CommentInJson", "{\"packages\": []} // note", "not valid JSON"},
        BadCatalog{"NoPackages", "{\"items\": []}", "\"packages\" array"},
        BadCatalog{"TopLevelArray", "[]", "JSON object"},
        BadCatalog{"NegativeId", R"({"packages":[{"id":-1,"name":"A"}]})", "packages[0]: \"id\""},
        BadCatalog{"TextId", R"({"packages":[{"id":"1","name":"A"}]})", "packages[0]: \"id\""},
        BadCatalog{"FractionalId", R"({"packages":[{"id":1.5,"name":"A"}]})", "packages[0]: \"id\""},
        BadCatalog{"DuplicateId", R"({"packages":[{"id":1,"name":"A"},{"id":1,"name":"B"}]})",
                   "packages[1]: id 1 appears more than once"},
        BadCatalog{"EmptyName", R"({"packages":[{"id":1,"name":""}]})", "\"name\""},
        BadCatalog{"UnknownKey", R"({"packages":[{"id":1,"name":"A","url1":"x"}]})", "unknown key \"url1\""},
        BadCatalog{"RelativePage", R"({"packages":[{"id":1,"name":"A","page":"/pages/1"}]})", "\"page\""},
        BadCatalog{"InstallerInAFolder", R"({"packages":[{"id":1,"name":"A","installer":"../etc/passwd"}]})",
                   "\"installer\""},
        BadCatalog{"InstallerNotServed", R"({"packages":[{"id":1,"name":"A","installer":"missing.exe"}]})",
                   "installer \"missing.exe\""}),
    [](const ::testing::TestParamInfo<BadCatalog>& info) { return std::string(info.param.label); });

TEST_F(CatalogFile, MissingFileOrFilesFolderIsReportedAtStart) {
  ServiceOptions missing_catalog;
  missing_catalog.catalog_file = temp() / "no-such-catalog.json";
  missing_catalog.port = 0;
  StandinService first(missing_catalog);
  EXPECT_THROW(first.Start(), StartError);

  ServiceOptions missing_folder;
  missing_folder.files_dir = temp() / "no-such-folder";
  missing_folder.port = 0;
  StandinService second(missing_folder);
  EXPECT_THROW(second.Start(), StartError);
}

}  // namespace
}  // namespace tarnel::standin::test
