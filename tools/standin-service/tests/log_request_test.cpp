// The log endpoint: multipart forms become event records.
#include <sstream>
#include <string>
#include <vector>

#include <curl/curl.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "service_fixture.h"

namespace tarnel::standin::test {
namespace {

using nlohmann::json;

class LogRequest : public ServiceFixture {};

constexpr const char* kLogPath = "/downloader.php/index/log";

std::vector<json> JsonLines(const std::string& text) {
  std::vector<json> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    lines.push_back(json::parse(line));
  }
  return lines;
}

// "2024-05-01T12:34:56.789Z": digits where the pattern has 'd'.
bool IsUtcTimestamp(const std::string& text) {
  const std::string pattern = "dddd-dd-ddTdd:dd:dd.dddZ";
  if (text.size() != pattern.size()) {
    return false;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool ok = pattern[i] == 'd' ? (text[i] >= '0' && text[i] <= '9') : text[i] == pattern[i];
    if (!ok) {
      return false;
    }
  }
  return true;
}

httplib::MultipartFormDataItems Form(std::initializer_list<std::pair<const char*, const char*>> parts) {
  httplib::MultipartFormDataItems items;
  for (const auto& [name, value] : parts) {
    items.push_back({name, value, "", ""});
  }
  return items;
}

TEST_F(LogRequest, RecordsThePartsInArrivalOrderAndAppendsOneFlushedLinePerEvent) {
  ServiceOptions options;
  options.log_file = temp() / "events.jsonl";
  std::ostringstream echo;
  options.event_output = &echo;
  StartService(options);

  auto first = client().Post(kLogPath, Form({{"downloader_id", "7"}, {"event", "5"}, {"uuid", "u-1"}}));
  ASSERT_TRUE(first);
  EXPECT_EQ(first->status, 200);
  EXPECT_EQ(json::parse(first->body), json({{"code", 200}}));
  // A form in another order keeps that order: the parts are not sorted by name.
  auto second = client().Post(kLogPath, Form({{"uuid", "u-2"}, {"event", "page_loaded"}, {"downloader_id", "8"}}));
  ASSERT_TRUE(second);
  EXPECT_EQ(second->status, 200);

  const std::string file = ReadWholeFile(options.log_file);
  EXPECT_EQ(
      file.rfind(R"({"downloader_id":"7","event":"5","uuid":"u-1","parts":["downloader_id","event","uuid"],"time":")",
                 0),
      0u)
      << file;
  const std::vector<json> lines = JsonLines(file);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0]["downloader_id"], "7");
  EXPECT_EQ(lines[0]["event"], "5");
  EXPECT_EQ(lines[0]["uuid"], "u-1");
  EXPECT_EQ(lines[0]["parts"], json({"downloader_id", "event", "uuid"}));
  EXPECT_TRUE(IsUtcTimestamp(lines[0]["time"].get<std::string>())) << lines[0]["time"];
  EXPECT_EQ(lines[1]["event"], "page_loaded");
  EXPECT_EQ(lines[1]["parts"], json({"uuid", "event", "downloader_id"}));

  EXPECT_EQ(JsonLines(echo.str()), lines);
  EXPECT_EQ(service().RecordedEvents(), lines);
}

size_t DiscardBody(char*, size_t size, size_t count, void*) { return size * count; }

TEST_F(LogRequest, FormBuiltWithCurlMimeIsRecorded) {
  StartService();
  CURL* curl = curl_easy_init();
  ASSERT_NE(curl, nullptr);
  const std::string url = service().BaseUrl() + kLogPath;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, DiscardBody);
  curl_mime* form = curl_mime_init(curl);
  for (const auto& [name, value] : {std::pair{"downloader_id", "0"}, {"event", ""}, {"uuid", "1700000000-4242"}}) {
    curl_mimepart* part = curl_mime_addpart(form);
    curl_mime_name(part, name);
    curl_mime_data(part, value, CURL_ZERO_TERMINATED);
  }
  curl_easy_setopt(curl, CURLOPT_MIMEPOST, form);
  const CURLcode result = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  curl_mime_free(form);
  curl_easy_cleanup(curl);
  ASSERT_EQ(result, CURLE_OK);
  EXPECT_EQ(status, 200);

  const auto events = service().RecordedEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0]["downloader_id"], "0");
  EXPECT_EQ(events[0]["event"], "");  // an empty event code is kept, not dropped
  EXPECT_EQ(events[0]["uuid"], "1700000000-4242");
}

TEST_F(LogRequest, MissingFieldsAreNullAndInvalidUtf8StillGivesAJsonLine) {
  ServiceOptions options;
  options.log_file = temp() / "events.jsonl";
  StartService(options);
  auto answer = client().Post(kLogPath, Form({{"event", "caf\xc3"}}));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);

  const std::vector<json> lines = JsonLines(ReadWholeFile(options.log_file));
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_TRUE(lines[0]["downloader_id"].is_null());
  EXPECT_TRUE(lines[0]["uuid"].is_null());
  EXPECT_EQ(lines[0]["event"], "caf\xef\xbf\xbd");  // U+FFFD for the broken byte
  EXPECT_EQ(lines[0]["parts"], json({"event"}));
}

TEST_F(LogRequest, GetAndBodiesThatAreNotMultipartFormsAnswer400AndRecordNothing) {
  ServiceOptions options;
  options.log_file = temp() / "events.jsonl";
  StartService(options);

  auto get = client().Get(kLogPath);
  ASSERT_TRUE(get);
  EXPECT_EQ(get->status, 400);
  EXPECT_EQ(json::parse(get->body), json({{"code", 400}}));

  auto urlencoded = client().Post(kLogPath, "downloader_id=1&event=5&uuid=x", "application/x-www-form-urlencoded");
  ASSERT_TRUE(urlencoded);
  EXPECT_EQ(urlencoded->status, 400);

  auto broken = client().Post(kLogPath, "this is not a form", "multipart/form-data; boundary=zzz");
  ASSERT_TRUE(broken);
  EXPECT_EQ(broken->status, 400);

  // The connection is still usable after the refused bodies.
  auto info = client().Get("/downloader.php/index/info?id=1");
  ASSERT_TRUE(info);
  EXPECT_EQ(info->status, 200);

  EXPECT_TRUE(service().RecordedEvents().empty());
  EXPECT_EQ(ReadWholeFile(options.log_file), "");
}

}  // namespace
}  // namespace tarnel::standin::test
