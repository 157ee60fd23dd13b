#pragma once
// The words of Tarnel's protocols, in one place: the page messages' types,
// the notifications' types and status texts, the event codes reported to the
// service, and the service's endpoint paths. Pages, the service and the stand-in
// service rely on them exactly as they stand.
#include <string_view>

namespace tarnel::protocol {

// Page messages (page to application), in "msg_type".
inline constexpr std::string_view kOpenUrl = "open_url";
inline constexpr std::string_view kInstall = "install";
inline constexpr std::string_view kOpenDnldDir = "open_dnld_dir";
inline constexpr std::string_view kDnld = "dnld";
inline constexpr std::string_view kPostData = "post_data";
inline constexpr std::string_view kClose = "close";
inline constexpr std::string_view kMinimize = "minimize";
inline constexpr std::string_view kMaximize = "maximize";
inline constexpr std::string_view kRestore = "restore";
inline constexpr std::string_view kResizeWindow = "resize_window";
inline constexpr std::string_view kMouseDown = "mousedown";
inline constexpr std::string_view kMouseUp = "mouseup";
inline constexpr std::string_view kMouseMove = "mousemove";
inline constexpr std::string_view kDnldCancel = "dnld_cancel";

// Notifications (application to page): "msg_type" and "status_text".
inline constexpr std::string_view kNotifyDnld = "dnld";  // start, finish, failure
inline constexpr std::string_view kNotifyProgress = "dl_progress";
inline constexpr std::string_view kNotifyClose = "close";  // closing during a download
inline constexpr std::string_view kDnldStart = "dnld_start";
inline constexpr std::string_view kDnldFinished = "dnld_finished";
inline constexpr std::string_view kDnldFailed = "dnld_failed";
inline constexpr std::string_view kDnldRunning = "dnld_running";

// Event codes the application reports by itself.
inline constexpr std::string_view kEventOpenUrl = "4";      // an open_url, opened or refused
inline constexpr std::string_view kEventWindowSized = "5";  // a resize_window carried out

// The service's endpoints, below its base address.
inline constexpr std::string_view kInfoPath = "/downloader.php/index/info";
inline constexpr std::string_view kLogPath = "/downloader.php/index/log";

}  // namespace tarnel::protocol
