#pragma once
// The window's geometry as the windowing system last reported it, with the
// geometry last asked for standing in until the system has answered.
//
// A move or resize is carried out later by the windowing system and reported
// by a configure event; reading the geometry back from the toolkit gives the
// old values until then. So right after a request the requested rectangle is
// the best answer; once a report matches it, or the request is older than
// kGrace (the system placed the window elsewhere), reports win again. Reports
// that arrive while a newer request is pending (the answers to older requests
// during a drag) do not pull the answer back.
//
// Plain data, no toolkit calls; the owner calls it on the UI thread.
#include <chrono>

#include "platform/geometry.h"

namespace tarnel::platform {

class GeometryTracker {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kGrace{500};

  // The window was asked to take `rect` (device pixels, screen coordinates).
  void Requested(const Rect& rect, Clock::time_point now);
  // The windowing system reported the window at `rect`.
  void Configured(const Rect& rect, Clock::time_point now);
  // The best knowledge of where the window is.
  Rect Current(Clock::time_point now) const;

 private:
  Rect requested_;
  Rect configured_;
  bool pending_ = false;
  bool configuredSinceRequest_ = false;
  Clock::time_point requestedAt_{};
};

}  // namespace tarnel::platform
