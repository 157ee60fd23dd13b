#pragma once
// Status notifications: the JSON objects the application sends to the page.
// The library's default object keeps members in ascending key order, which is
// the order the page receives them in.
#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "download/failure_reason.h"

namespace tarnel::bridge {

nlohmann::json MakeStartNotification();
// `state` is the download state just set, 2 for a finish.
nlohmann::json MakeFinishNotification(unsigned state);
// The percentage divides first, then multiplies by 100.
nlohmann::json MakeProgressNotification(std::uint64_t dlNow, std::int64_t dlTotal);
nlohmann::json MakeCloseNotification();
// Sent when a job ends without a file, so the page can say why and offer a
// retry; "http_status" only with the reason "http".
nlohmann::json MakeFailedNotification(download::FailureReason reason, long httpStatus = 0);

// Compact text: no whitespace, strict UTF-8.
std::string SerializeNotification(const nlohmann::json& notification);

}  // namespace tarnel::bridge
