#pragma once
// Why a download ended without a file, as the page hears it in the failure
// notification's "reason". Travels from the worker to the UI thread as the
// WPARAM of WM_DNLD_FAILED (with the HTTP status, when there is one, as the
// LPARAM).
#include <cstdint>
#include <string_view>

namespace tarnel::download {

enum class FailureReason : std::uint8_t {
  kNetwork = 1,  // connect, transfer or timeout failures, after the retries
  kHttp,         // the server's error status (the status travels with it)
  kDiskFull,     // no space left, or not enough for the announced size
  kFile,         // the target cannot be created or written otherwise
  kChecksum,     // the finished file's SHA-256 is not the expected one
  kCancelled,    // the page asked to stop, or the window closed
  kInsecure,     // plain http to another machine without a SHA-256 to check, on the way or at the end
};

// The text the page receives; "network" for anything unknown.
std::string_view ReasonText(FailureReason reason);

}  // namespace tarnel::download
