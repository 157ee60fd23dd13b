#include "platform/geometry_tracker.h"

namespace tarnel::platform {

void GeometryTracker::Requested(const Rect& rect, Clock::time_point now) {
  requested_ = rect;
  requestedAt_ = now;
  pending_ = true;
  configuredSinceRequest_ = false;
}

void GeometryTracker::Configured(const Rect& rect, Clock::time_point now) {
  configured_ = rect;
  configuredSinceRequest_ = true;
  if (pending_ && (rect == requested_ || now - requestedAt_ >= kGrace)) pending_ = false;
}

Rect GeometryTracker::Current(Clock::time_point now) const {
  if (!pending_) return configured_;
  if (now - requestedAt_ < kGrace) return requested_;
  // An old request: what the system said since, if it said anything.
  return configuredSinceRequest_ ? configured_ : requested_;
}

}  // namespace tarnel::platform
