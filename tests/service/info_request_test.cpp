#include <chrono>
#include <string>
#include <vector>

#include <curl/curl.h>
#include <gtest/gtest.h>

#include "service/info_answer.h"
#include "service/info_request.h"
#include "support/http_test_server.h"
#include "support/test_tls.h"

namespace tarnel::service {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test::HttpTestServer;

// The process holds libcurl's global state for its whole life; so does this
// test program, so that FetchInfo's own init/cleanup pair never tears it down.
[[maybe_unused]] const bool kCurlReady = curl_global_init(CURL_GLOBAL_ALL) == CURLE_OK;

const char kGoodAnswer[] = R"({"code":200,"data":{"name":"Photo Studio","url1":"https://pages.example/app?id=42"}})";

// ---- Interpreting the answer -------------------------------------------------

TEST(InfoAnswer, Code200WithStringsGivesTitleAndPage) {
  const InfoAnswer answer = ParseInfoAnswer(kGoodAnswer);
  EXPECT_EQ(answer.title, "Photo Studio");
  EXPECT_EQ(answer.pageUrl, "https://pages.example/app?id=42");

  // A non-ASCII name comes through as its UTF-8 bytes, whether written
  // literally or as \u escapes.
  const InfoAnswer literal =
      ParseInfoAnswer(R"({"code":200,"data":{"name":"Übersetzer 下载器 ✓","url1":"https://p.example/"}})");
  EXPECT_EQ(literal.title,
            "\xC3\x9C"
            "bersetzer \xE4\xB8\x8B\xE8\xBD\xBD\xE5\x99\xA8 \xE2\x9C\x93");
  const InfoAnswer escaped =
      ParseInfoAnswer(R"({"code":200,"data":{"name":"\u00dcber \u4e0b","url1":"https://p.example/"}})");
  EXPECT_EQ(escaped.title,
            "\xC3\x9C"
            "ber \xE4\xB8\x8B");
}

TEST(InfoAnswer, Code200AsFloatIsApplied) {
  for (const char* code : {"200.0", "2e2", "200.000"}) {
    SCOPED_TRACE(code);
    const InfoAnswer answer =
        ParseInfoAnswer(std::string(R"({"code":)") + code + R"(,"data":{"name":"N","url1":"U"}})");
    EXPECT_EQ(answer.title, "N");
    EXPECT_EQ(answer.pageUrl, "U");
  }
}

TEST(InfoAnswer, CodeOtherThanNumber200GivesNothing) {
  const std::vector<std::string> answers = {
      R"({"code":"200","data":{"name":"N","url1":"U"}})", R"({"code":404,"data":{"name":"N","url1":"U"}})",
      R"({"code":200.5,"data":{"name":"N","url1":"U"}})", R"({"code":-200,"data":{"name":"N","url1":"U"}})",
      R"({"code":true,"data":{"name":"N","url1":"U"}})",  R"({"code":null,"data":{"name":"N","url1":"U"}})",
      R"({"code":[200],"data":{"name":"N","url1":"U"}})", R"({"data":{"name":"N","url1":"U"}})",
      R"({"data":{"code":200,"name":"N","url1":"U"}})",
  };
  for (const std::string& body : answers) {
    SCOPED_TRACE(body);
    const InfoAnswer answer = ParseInfoAnswer(body);
    EXPECT_FALSE(answer.title.has_value());
    EXPECT_FALSE(answer.pageUrl.has_value());
  }
}

TEST(InfoAnswer, TopLevelNullOrNonObjectGivesNothing) {
  for (const char* body :
       {"null", " null ", "200", R"("code")", R"([{"code":200,"data":{"name":"N","url1":"U"}}])", "true"}) {
    SCOPED_TRACE(body);
    const InfoAnswer answer = ParseInfoAnswer(body);
    EXPECT_FALSE(answer.title.has_value());
    EXPECT_FALSE(answer.pageUrl.has_value());
  }
}

TEST(InfoAnswer, ExtraKeysAtEitherLevelAreIgnored) {
  const InfoAnswer answer =
      ParseInfoAnswer(R"({"msg":"ok","code":200,"time":1700000000,)"
                      R"("data":{"id":42,"url2":"https://other.example/","name":"N","url1":"U","extra":{"a":[1,2]}}})");
  EXPECT_EQ(answer.title, "N");
  EXPECT_EQ(answer.pageUrl, "U");
}

TEST(InfoAnswer, DataOrNameThatIsNotUsableGivesNothing) {
  const std::vector<std::string> answers = {
      R"({"code":200})",
      R"({"code":200,"data":null})",
      R"({"code":200,"data":"N"})",
      R"({"code":200,"data":[{"name":"N","url1":"U"}]})",
      R"({"code":200,"data":{"url1":"U"}})",
      R"({"code":200,"data":{"name":7,"url1":"U"}})",
      R"({"code":200,"data":{"name":null,"url1":"U"}})",
      R"({"code":200,"data":{"name":["N"],"url1":"U"}})",
  };
  for (const std::string& body : answers) {
    SCOPED_TRACE(body);
    const InfoAnswer answer = ParseInfoAnswer(body);
    EXPECT_FALSE(answer.title.has_value());
    EXPECT_FALSE(answer.pageUrl.has_value());
  }
}

TEST(InfoAnswer, Url1ThatIsNotAStringGivesTheTitleOnly) {
  for (const char* data : {R"({"name":"N"})", R"({"name":"N","url1":null})", R"({"name":"N","url1":5})",
                           R"({"name":"N","url1":{"href":"U"}})"}) {
    SCOPED_TRACE(data);
    const InfoAnswer answer = ParseInfoAnswer(std::string(R"({"code":200,"data":)") + data + "}");
    EXPECT_EQ(answer.title, "N");
    EXPECT_FALSE(answer.pageUrl.has_value());
  }
}

TEST(InfoAnswer, BodyThatIsNotStrictJsonGivesNothing) {
  const std::string good = kGoodAnswer;
  const std::vector<std::string> bodies = {
      "",
      "   ",
      "<html>Bad gateway</html>",
      good.substr(0, good.size() - 1),                    // cut short
      good + " {}",                                       // a second value
      good + "x",                                         // trailing garbage
      "/* answer */ " + good,                             // comment before
      good + " // done",                                  // comment after
      R"({"code":200,"data":{"name":"N","url1":"U",}})",  // trailing comma
      "{'code':200}",
      std::string(R"({"code":200,"data":{"name":"N)") + "\xff" + R"(","url1":"U"}})",  // invalid UTF-8
  };
  for (const std::string& body : bodies) {
    SCOPED_TRACE(body);
    const InfoAnswer answer = ParseInfoAnswer(body);
    EXPECT_FALSE(answer.title.has_value());
    EXPECT_FALSE(answer.pageUrl.has_value());
  }
  // White space around the value is not an error.
  EXPECT_EQ(ParseInfoAnswer("\r\n\t " + good + " \n\n").title, "Photo Studio");
}

// ---- Collecting the body -----------------------------------------------------

TEST(InfoAnswerBuffer, WriteCallbackStopsOnceTheAnswerWouldPassItsLimit) {
  AnswerBuffer buffer;
  buffer.limit = 10;
  char chunk[] = "abcdef";
  EXPECT_EQ(WriteToStringCallback(chunk, 1, 6, &buffer), 6u);
  EXPECT_EQ(WriteToStringCallback(chunk, 2, 2, &buffer), 4u);  // exactly at the limit
  EXPECT_EQ(buffer.text, "abcdefabcd");
  EXPECT_FALSE(buffer.overflow);
  EXPECT_EQ(WriteToStringCallback(chunk, 1, 1, &buffer), 0u);
  EXPECT_TRUE(buffer.overflow);
  EXPECT_EQ(buffer.text, "abcdefabcd");
}

// ---- Fetching over HTTP ------------------------------------------------------

class InfoRequest : public ::testing::Test {
 protected:
  HttpTestServer server_;
};

TEST_F(InfoRequest, GetsTheExactTargetAndReturnsTheAnswer) {
  server_.Get("/downloader.php/index/info", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kGoodAnswer, "application/json");
  });
  server_.Start();

  const auto body = FetchInfo(server_.Url("/downloader.php/index/info?id=42"));

  ASSERT_TRUE(body.has_value());
  EXPECT_EQ(*body, kGoodAnswer);
  EXPECT_EQ(ParseInfoAnswer(*body).pageUrl, "https://pages.example/app?id=42");
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].method, "GET");
  EXPECT_EQ(requests[0].target, "/downloader.php/index/info?id=42");
  EXPECT_TRUE(requests[0].body.empty());
}

TEST_F(InfoRequest, HttpErrorStatusStillReturnsTheBody) {
  server_.Get("/info", [](const httplib::Request&, httplib::Response& res) {
    res.status = 500;
    res.set_content(kGoodAnswer, "application/json");
  });
  server_.Start();

  EXPECT_EQ(FetchInfo(server_.Url("/info?id=1")), kGoodAnswer);
}

TEST_F(InfoRequest, AnswerLongerThanOneMebibyteIsDropped) {
  // Valid JSON padded with white space: only its size is wrong.
  const std::string good = kGoodAnswer;
  const std::string atLimit = good + std::string((1u << 20) - good.size(), ' ');
  const std::string twoMebibytes = good + std::string((2u << 20) - good.size(), ' ');
  server_.Get("/at-limit",
              [&](const httplib::Request&, httplib::Response& res) { res.set_content(atLimit, "application/json"); });
  server_.Get("/big", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(twoMebibytes, "application/json");
  });
  server_.Start();

  EXPECT_EQ(FetchInfo(server_.Url("/big")), std::nullopt);
  const auto kept = FetchInfo(server_.Url("/at-limit"));
  ASSERT_TRUE(kept.has_value());
  EXPECT_EQ(kept->size(), 1u << 20);
}

TEST_F(InfoRequest, ServerThatNeverAnswersIsGivenUpAfterTheTotalTimeout) {
  server_.Get("/info", [&](const httplib::Request&, httplib::Response& res) {
    server_.Hold();  // until the test ends
    res.set_content(kGoodAnswer, "application/json");
  });
  server_.Start();
  TransferSettings settings;
  settings.connectTimeoutMs = 1000;
  settings.totalTimeoutMs = 1000;

  const auto start = steady_clock::now();
  const auto body = FetchInfo(server_.Url("/info"), settings);
  const auto elapsed = steady_clock::now() - start;

  EXPECT_EQ(body, std::nullopt);
  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_GE(elapsed, milliseconds(900));
  EXPECT_LT(elapsed, milliseconds(4000));
}

TEST_F(InfoRequest, RedirectIsNotFollowed) {
  const std::string redirectBody = R"({"code":200,"data":{"name":"From the 302","url1":"U"}})";
  server_.Get("/info", [&](const httplib::Request&, httplib::Response& res) {
    res.set_redirect(server_.Url("/moved"), 302);
    res.set_content(redirectBody, "application/json");
  });
  server_.Get("/moved", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kGoodAnswer, "application/json");
  });
  server_.Start();

  EXPECT_EQ(FetchInfo(server_.Url("/info")), redirectBody);
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].path, "/info");
}

TEST(InfoRequestAddress, EmptyAddressFailsAtOnce) {
  const auto start = steady_clock::now();
  EXPECT_EQ(FetchInfo(""), std::nullopt);
  EXPECT_LT(steady_clock::now() - start, milliseconds(500));
}

// ---- Fetching over HTTPS -----------------------------------------------------

#ifndef _WIN32
// The test HTTPS server is OpenSSL's; the Windows build has Schannel only.
TEST(InfoRequestTls, SelfSignedServerIsTrustedOnlyWithItsAuthority) {
  test::TlsTestServer tls;
  tls.http().Get("/info", [](const httplib::Request&, httplib::Response& res) {
    res.set_content(kGoodAnswer, "application/json");
  });
  tls.http().Start();
  const std::string url = tls.http().Url("/info?id=7");

  // The system's authorities do not know the test authority.
  EXPECT_EQ(FetchInfo(url), std::nullopt);
  EXPECT_EQ(tls.http().RequestCount(), 0u);

  TransferSettings trusting;
  trusting.caFile = tls.certificates().caFile;
  EXPECT_EQ(FetchInfo(url, trusting), kGoodAnswer);
  ASSERT_EQ(tls.http().RequestCount(), 1u);
  EXPECT_EQ(tls.http().Requests()[0].target, "/info?id=7");
}
#endif  // _WIN32

}  // namespace
}  // namespace tarnel::service
