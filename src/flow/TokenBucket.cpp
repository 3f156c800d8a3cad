#include "orvane/site/TokenBucket.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

namespace orvane::site {
namespace {

// Offsets are capped at about three years: a permit due later than that is as good as never, and
// the cap keeps every sum of time points far from overflow.
constexpr double kMaxOffsetNanoseconds = 1e17;

std::chrono::nanoseconds nanosecondsFor(double permits, double permitsPerSecond) {
  const double offset = std::ceil(permits * 1e9 / permitsPerSecond);
  return std::chrono::nanoseconds(
      static_cast<std::int64_t>(std::min(std::max(offset, 0.0), kMaxOffsetNanoseconds)));
}

TokenBucket::Clock checked(TokenBucket::Clock clock) {
  if (!clock) throw std::invalid_argument("TokenBucket: the clock must not be empty");
  return clock;
}

}  // namespace

TokenBucket::TokenBucket(double permitsPerSecond, std::size_t burst)
    : TokenBucket(permitsPerSecond, burst, [] { return std::chrono::steady_clock::now(); }) {}

TokenBucket::TokenBucket(double permitsPerSecond, std::size_t burst, Clock clock)
    : permitsPerSecond_(permitsPerSecond), burst_(burst), clock_(checked(std::move(clock))) {
  if (!std::isfinite(permitsPerSecond) || permitsPerSecond <= 0.0) {
    throw std::invalid_argument(
        "TokenBucket: permitsPerSecond must be a finite number above zero, got " +
        std::to_string(permitsPerSecond));
  }
  if (burst == 0) {
    throw std::invalid_argument("TokenBucket: burst must be at least 1");
  }
  tolerance_ = nanosecondsFor(static_cast<double>(burst - 1), permitsPerSecond_);
  base_ = clock_();
}

TokenBucket::TimePoint TokenBucket::dueAfter(TimePoint base, std::uint64_t count) const {
  return base + nanosecondsFor(static_cast<double>(count), permitsPerSecond_);
}

void TokenBucket::acquire(Grant grant) {
  std::chrono::nanoseconds wait{0};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Read under the lock, so that the schedule only ever sees time move forward.
    const TimePoint now = clock_();
    TimePoint scheduled = dueAfter(base_, count_);
    if (scheduled < now) {
      // Quiet since the last permit: the steady schedule restarts now, with the burst full.
      base_ = now;
      count_ = 0;
      scheduled = now;
    }
    const TimePoint usable = std::max(now, scheduled - tolerance_);
    ++count_;
    wait = usable - now;
  }
  grant(wait);
}

TokenBucket& TokenBucket::setLongestSlowDown(std::chrono::nanoseconds longest) {
  if (longest < std::chrono::nanoseconds::zero()) {
    throw std::invalid_argument("TokenBucket: the longest slow-down must not be negative");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  longestSlowDown_ = longest;
  return *this;
}

std::chrono::nanoseconds TokenBucket::longestSlowDown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return longestSlowDown_;
}

void TokenBucket::slowDown(std::chrono::nanoseconds pause) {
  if (pause <= std::chrono::nanoseconds::zero()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  const auto capped = std::min(pause, longestSlowDown_);
  if (capped <= std::chrono::nanoseconds::zero()) return;
  // The next permit falls due when the pause ends, and later ones follow at the steady rate: the
  // burst is spent, so that the service is not met by a crowd the moment the pause is over.
  const TimePoint restart = clock_() + capped + tolerance_;
  if (dueAfter(base_, count_) < restart) {
    base_ = restart;
    count_ = 0;
  }
}

}  // namespace orvane::site
