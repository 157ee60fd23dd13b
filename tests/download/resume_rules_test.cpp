// The pure rules of resuming, retrying and checking a download.
#include <gtest/gtest.h>

#include <curl/curl.h>

#include "download/resume_rules.h"
#include "download/retry_policy.h"
#include "download/sha256.h"

namespace tarnel::download {
namespace {

using namespace std::chrono_literals;

TEST(ResumeRules, OnlyAStrongEtagOrADateMayJoinTwoAnswers) {
  EXPECT_EQ(MakeValidators(" \"abc\" ", "").IfRange(), "\"abc\"");
  EXPECT_FALSE(MakeValidators("W/\"abc\"", "").Any());
  EXPECT_FALSE(MakeValidators("abc", "").Any());  // not a quoted tag
  EXPECT_EQ(MakeValidators("W/\"abc\"", "Wed, 09 Dec 2026 10:00:00 GMT").IfRange(), "Wed, 09 Dec 2026 10:00:00 GMT");
  EXPECT_EQ(MakeValidators("\"t\"", "Wed, 09 Dec 2026 10:00:00 GMT").IfRange(), "\"t\"");
  EXPECT_TRUE(ResumeHeaders(100, MakeValidators("", "")).empty());
  EXPECT_TRUE(ResumeHeaders(0, MakeValidators("\"t\"", "")).empty());
  EXPECT_EQ(ResumeHeaders(100, MakeValidators("\"t\"", "")),
            (std::vector<std::string>{"Range: bytes=100-", "If-Range: \"t\""}));
}

TEST(ResumeRules, ContentRangeAndTheAnswerToAResume) {
  const auto range = ParseContentRange("bytes 100-199/1000");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->first, 100u);
  EXPECT_EQ(range->last, 199u);
  EXPECT_EQ(range->total, 1000u);
  EXPECT_FALSE(ParseContentRange("bytes 100-199/*")->total);
  for (const char* bad :
       {"", "bytes */1000", "bytes 200-100/1000", "bytes 1-2/2", "items 1-2/3", "bytes 1-x/3", "bytes -1-2/3"}) {
    EXPECT_FALSE(ParseContentRange(bad)) << bad;
  }
  EXPECT_EQ(ClassifyResumeAnswer(206, 100, "bytes 100-999/1000"), ResumeAnswer::kAppend);
  EXPECT_EQ(ClassifyResumeAnswer(206, 100, "bytes 0-999/1000"), ResumeAnswer::kDiscard);
  EXPECT_EQ(ClassifyResumeAnswer(206, 0, "bytes 0-999/1000"), ResumeAnswer::kDiscard);  // nothing was asked
  EXPECT_EQ(ClassifyResumeAnswer(200, 100, ""), ResumeAnswer::kStartOver);
  EXPECT_EQ(ClassifyResumeAnswer(416, 100, "bytes */100"), ResumeAnswer::kDiscard);
  for (const long status : {204L, 304L, 404L, 503L})
    EXPECT_EQ(ClassifyResumeAnswer(status, 100, ""), ResumeAnswer::kNotAFile);
}

TEST(ResumeRules, ReprDigestNamesTheSha256AmongOtherAlgorithms) {
  // SHA-256 of "abc".
  const auto abc = ParseSha256Hex("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  ASSERT_TRUE(abc);
  EXPECT_EQ(ParseReprDigestSha256("sha-256=:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=:"), *abc);
  EXPECT_EQ(ParseReprDigestSha256("sha-512=:AAAA:, sha-256=:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=:"), *abc);
  for (const char* bad : {"sha-512=:AAAA:", "sha-256=ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0=",
                          "sha-256=:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAFa0:", "sha-256=:AAAA:",
                          "sha-256=:ungWv48Bz+pBQUDeXa4iI7ADYaOWF3qctBD/YfIAF!0=:", ""}) {
    EXPECT_FALSE(ParseReprDigestSha256(bad)) << bad;
  }
}

TEST(RetryPolicy, TransientFailuresAreRetriedAndPermanentOnesEndTheJob) {
  for (const int code : {CURLE_COULDNT_CONNECT, CURLE_COULDNT_RESOLVE_HOST, CURLE_OPERATION_TIMEDOUT,
                         CURLE_PARTIAL_FILE, CURLE_RECV_ERROR, CURLE_GOT_NOTHING}) {
    EXPECT_TRUE(ClassifyAttempt({code, 0}).retry) << code;
  }
  for (const long status : {408L, 429L, 500L, 502L, 503L, 504L}) {
    EXPECT_TRUE(ClassifyAttempt({CURLE_OK, status}).retry) << status;
  }
  for (const long status : {400L, 401L, 403L, 404L, 410L, 501L}) {
    const RetryDecision decision = ClassifyAttempt({CURLE_WRITE_ERROR, status});
    EXPECT_FALSE(decision.retry) << status;
    EXPECT_EQ(decision.reason, FailureReason::kHttp);
  }
  for (const int code :
       {CURLE_PEER_FAILED_VERIFICATION, CURLE_UNSUPPORTED_PROTOCOL, CURLE_URL_MALFORMAT, CURLE_TOO_MANY_REDIRECTS}) {
    EXPECT_FALSE(ClassifyAttempt({code, 0}).retry) << code;
  }
  AttemptResult disk{CURLE_WRITE_ERROR, 200};
  disk.diskFull = true;
  EXPECT_EQ(ClassifyAttempt(disk).reason, FailureReason::kDiskFull);
  AttemptResult cancelled{CURLE_ABORTED_BY_CALLBACK, 503};
  cancelled.cancelled = true;
  EXPECT_EQ(ClassifyAttempt(cancelled).reason, FailureReason::kCancelled);
  AttemptResult notAFile{CURLE_WRITE_ERROR, 204};
  notAFile.notAFile = true;
  EXPECT_EQ(ClassifyAttempt(notAFile).reason, FailureReason::kHttp);
}

TEST(RetryPolicy, BackoffDoublesWithJitterAndRetryAfterUpToAMinuteWins) {
  EXPECT_EQ(RetryDelay(1, 0.0), 1000ms);
  EXPECT_EQ(RetryDelay(5, 0.0), 16000ms);
  EXPECT_EQ(RetryDelay(3, 1.0), 4800ms);
  EXPECT_EQ(RetryDelay(3, -1.0), 3200ms);
  EXPECT_EQ(RetryDelay(2, 5.0), 2400ms);  // jitter is bounded
  EXPECT_EQ(RetryDelay(2, 0.5, 60s), 60000ms);
  EXPECT_EQ(RetryDelay(2, 0.0, 0s), 0ms);
  EXPECT_EQ(RetryDelay(2, 0.0, 61s), 2000ms);
}

TEST(Sha256, KnownDigestsAndHexParsing) {
  Sha256 sha;
  EXPECT_EQ(Sha256Hex(sha.Final()), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  sha.Update("ab", 2);
  sha.Update("c", 1);
  EXPECT_EQ(Sha256Hex(sha.Final()), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  const auto upper = ParseSha256Hex("BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
  ASSERT_TRUE(upper);
  EXPECT_EQ(Sha256Hex(*upper), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  for (const char* bad : {"", "ba78", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015a",
                          "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015adX",
                          "ga7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
                          " a7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"}) {
    EXPECT_FALSE(ParseSha256Hex(bad)) << bad;
  }
}

}  // namespace
}  // namespace tarnel::download
