#include "LocalBucket.h"

#include <algorithm>
#include <cmath>

namespace orvane::site::redis {

LocalBucket::LocalBucket(double permitsPerSecond, std::size_t burst)
    : interval_(std::chrono::nanoseconds(
          static_cast<std::chrono::nanoseconds::rep>(std::ceil(1e9 / permitsPerSecond)))),
      tolerance_(interval_ * static_cast<std::chrono::nanoseconds::rep>(burst - 1)) {}

std::chrono::nanoseconds LocalBucket::reserve(Clock::time_point now) {
  const Clock::time_point slot = std::max(next_, now);
  next_ = slot + interval_;
  return std::max(slot - tolerance_ - now, std::chrono::nanoseconds::zero());
}

void LocalBucket::holdUntil(Clock::time_point notBefore) {
  next_ = std::max(next_, notBefore + tolerance_);
}

}  // namespace orvane::site::redis
