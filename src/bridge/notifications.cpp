#include "bridge/notifications.h"

#include <string_view>

#include "bridge/protocol.h"

namespace tarnel::bridge {

using nlohmann::json;

namespace {
json MakeDnld(int status, std::string_view text) {
  json notification;
  notification["msg_type"] = protocol::kNotifyDnld;
  notification["status"] = status;
  notification["status_text"] = text;
  return notification;
}
}  // namespace

json MakeStartNotification() { return MakeDnld(1, protocol::kDnldStart); }

json MakeFinishNotification(unsigned state) {
  json notification;
  notification["msg_type"] = protocol::kNotifyDnld;
  notification["status"] = state;
  notification["status_text"] = protocol::kDnldFinished;
  return notification;
}

json MakeProgressNotification(std::uint64_t dlNow, std::int64_t dlTotal) {
  const double progress = static_cast<double>(dlNow) / static_cast<double>(dlTotal) * 100.0;
  json notification;
  notification["msg_type"] = protocol::kNotifyProgress;
  notification["status"] = true;
  notification["dl_now"] = dlNow;
  notification["dl_total"] = dlTotal;
  notification["dl_progress"] = progress;
  return notification;
}

json MakeCloseNotification() {
  json notification;
  notification["msg_type"] = protocol::kNotifyClose;
  notification["status"] = 1;
  notification["status_text"] = protocol::kDnldRunning;
  return notification;
}

json MakeFailedNotification(download::FailureReason reason, long httpStatus) {
  json notification = MakeDnld(0, protocol::kDnldFailed);
  notification["reason"] = std::string(download::ReasonText(reason));
  if (reason == download::FailureReason::kHttp) notification["http_status"] = httpStatus;
  return notification;
}

std::string SerializeNotification(const json& notification) { return notification.dump(); }

}  // namespace tarnel::bridge
