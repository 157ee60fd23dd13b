// --request-log: one "METHOD target" line per request, written before the answer.
#include <string>

#include <gtest/gtest.h>

#include "command_line.h"
#include "service_fixture.h"

namespace tarnel::standin::test {
namespace {

class RequestLogFile : public ServiceFixture {};

TEST(RequestLogOption, TakesAFileName) {
  EXPECT_TRUE(ParseCommandLine({}).options.request_log.empty());
  EXPECT_EQ(ParseCommandLine({"--request-log", "requests.log"}).options.request_log, "requests.log");
  EXPECT_EQ(ParseCommandLine({"--request-log=r.log"}).options.request_log, "r.log");
  EXPECT_THROW(ParseCommandLine({"--request-log"}), UsageError);
}

TEST_F(RequestLogFile, AppendsMethodAndTargetOfEveryRequestAsItArrives) {
  const auto path = WriteTempFile("requests.log", "earlier line\n");
  ServiceOptions options;
  options.request_log = path;
  StartService(options);

  // Each line is in the file by the time its answer has arrived.
  auto info = client().Get("/downloader.php/index/info?id=1");
  ASSERT_TRUE(info);
  EXPECT_EQ(ReadWholeFile(path), "earlier line\nGET /downloader.php/index/info?id=1\n");

  auto missing = client().Get("/no/such/place?x=%20y");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
  auto logged = client().Post("/downloader.php/index/log", "not a form", "text/plain");
  ASSERT_TRUE(logged);
  EXPECT_EQ(logged->status, 400);
  EXPECT_EQ(ReadWholeFile(path),
            "earlier line\n"
            "GET /downloader.php/index/info?id=1\n"
            "GET /no/such/place?x=%20y\n"
            "POST /downloader.php/index/log\n");
}

TEST_F(RequestLogFile, AFileThatCannotBeOpenedStopsTheStart) {
  ServiceOptions options;
  options.request_log = temp() / "no-such-folder" / "requests.log";
  options.port = 0;
  StandinService service(options);
  EXPECT_THROW(service.Start(), StartError);
}

}  // namespace
}  // namespace tarnel::standin::test
