// The exact texts the page receives.
#include <gtest/gtest.h>

#include "bridge/notifications.h"

namespace tarnel::bridge {
namespace {

TEST(Notifications, FixedNotificationsHaveTheirExactText) {
  EXPECT_EQ(SerializeNotification(MakeStartNotification()),
            R"({"msg_type":"dnld","status":1,"status_text":"dnld_start"})");
  EXPECT_EQ(SerializeNotification(MakeFinishNotification(2)),
            R"({"msg_type":"dnld","status":2,"status_text":"dnld_finished"})");
  EXPECT_EQ(SerializeNotification(MakeCloseNotification()),
            R"({"msg_type":"close","status":1,"status_text":"dnld_running"})");
}

TEST(Notifications, FailureCarriesItsReasonAndTheStatusOnlyForHttp) {
  using download::FailureReason;
  EXPECT_EQ(SerializeNotification(MakeFailedNotification(FailureReason::kNetwork)),
            R"({"msg_type":"dnld","reason":"network","status":0,"status_text":"dnld_failed"})");
  EXPECT_EQ(SerializeNotification(MakeFailedNotification(FailureReason::kHttp, 404)),
            R"({"http_status":404,"msg_type":"dnld","reason":"http","status":0,"status_text":"dnld_failed"})");
  // A status that came with another reason is not the page's business.
  EXPECT_EQ(SerializeNotification(MakeFailedNotification(FailureReason::kCancelled, 503)),
            R"({"msg_type":"dnld","reason":"cancelled","status":0,"status_text":"dnld_failed"})");
  const std::pair<FailureReason, const char*> reasons[] = {
      {FailureReason::kDiskFull, "disk_full"}, {FailureReason::kFile, "file"}, {FailureReason::kChecksum, "checksum"}};
  for (const auto& [reason, text] : reasons) {
    EXPECT_EQ(MakeFailedNotification(reason)["reason"], text);
  }
}

TEST(Notifications, ProgressMembersComeInKeyOrderWithTheDivisionFirst) {
  EXPECT_EQ(SerializeNotification(MakeProgressNotification(512, 2048)),
            R"({"dl_now":512,"dl_progress":25.0,"dl_total":2048,"msg_type":"dl_progress","status":true})");
  EXPECT_EQ(SerializeNotification(MakeProgressNotification(0, 7)),
            R"({"dl_now":0,"dl_progress":0.0,"dl_total":7,"msg_type":"dl_progress","status":true})");
  EXPECT_EQ(SerializeNotification(MakeProgressNotification(9, 9)),
            R"({"dl_now":9,"dl_progress":100.0,"dl_total":9,"msg_type":"dl_progress","status":true})");
  // Files beyond 4 GiB keep their counters whole.
  EXPECT_EQ(
      SerializeNotification(MakeProgressNotification(5'000'000'000ULL, 10'000'000'000LL)),
      R"({"dl_now":5000000000,"dl_progress":50.0,"dl_total":10000000000,"msg_type":"dl_progress","status":true})");
  // 1/3 then *100 differs in its last digit from 100/3.
  const double divisionFirst = 1.0 / 3.0 * 100.0;
  ASSERT_NE(divisionFirst, 100.0 / 3.0);
  EXPECT_EQ(MakeProgressNotification(1, 3)["dl_progress"].get<double>(), divisionFirst);
  EXPECT_EQ(SerializeNotification(MakeProgressNotification(1, 3)),
            R"({"dl_now":1,"dl_progress":33.33333333333333,"dl_total":3,"msg_type":"dl_progress","status":true})");
}

TEST(Notifications, CountersAbove4GiBPassUnchanged) {
  const std::uint64_t now = 5'000'000'000ULL;
  const std::int64_t total = 10'000'000'000LL;
  EXPECT_EQ(
      SerializeNotification(MakeProgressNotification(now, total)),
      R"({"dl_now":5000000000,"dl_progress":50.0,"dl_total":10000000000,"msg_type":"dl_progress","status":true})");
}

}  // namespace
}  // namespace tarnel::bridge
