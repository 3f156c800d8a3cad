#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>

#include "orvane/site/Export.h"
#include "orvane/site/RateLimiter.h"

namespace orvane::site {

/// A RateLimiter for one process: permits flow at a steady rate, and up to `burst` of them may be
/// used at once after a quiet moment.
///
/// Permits are reserved: `acquire` grants at once (inside the call) and tells how long to wait
/// until the reserved permit is due, so a caller never polls and no permit is ever handed out
/// twice. In any stretch of time of length L, at most `burst + L * permitsPerSecond` permits become
/// usable. After `slowDown(pause)`, no permit is usable before the pause has passed, and permits
/// then resume at the steady rate without a burst.
///
/// Thread-safe; the lock is held only for a few arithmetic steps, and `grant` is called after it
/// has been released. Several clients may share one bucket.
class ORVANE_SITE_EXPORT TokenBucket : public RateLimiter {
 public:
  /// Tells the current time; steady_clock::now by default. Tests give a fake one.
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  /// A bucket giving `permitsPerSecond` permits a second with bursts of up to `burst`.
  /// Throws std::invalid_argument when the rate is not a finite number above zero or `burst` is
  /// zero.
  TokenBucket(double permitsPerSecond, std::size_t burst);

  /// The same, reading the time from `clock` (which must be thread-safe and never go back).
  /// Throws std::invalid_argument as above, or when `clock` is empty.
  TokenBucket(double permitsPerSecond, std::size_t burst, Clock clock);

  /// Reserves the next permit and calls `grant` once, before returning, with the wait until it is
  /// due (zero when it is due now).
  void acquire(Grant grant) override;

  /// No permit reserved from now on is usable before `pause` (at most `longestSlowDown()`) has
  /// passed from now; afterwards permits resume at the steady rate. Non-positive pauses are
  /// ignored.
  void slowDown(std::chrono::nanoseconds pause) override;

  /// Sets the longest pause one `slowDown` takes (`kDefaultLongestSlowDown` by default); zero
  /// makes the bucket ignore every request to slow down. Throws std::invalid_argument when
  /// negative. Thread-safe.
  TokenBucket& setLongestSlowDown(std::chrono::nanoseconds longest);
  /// The longest pause one `slowDown` takes.
  std::chrono::nanoseconds longestSlowDown() const;

  /// The configured rate, in permits per second.
  double permitsPerSecond() const noexcept { return permitsPerSecond_; }
  /// The configured burst.
  std::size_t burst() const noexcept { return burst_; }

 private:
  using TimePoint = std::chrono::steady_clock::time_point;

  // The time at which the `count`-th permit after `base` falls due at the steady rate, computed
  // from the count each time so that rounding never accumulates.
  TimePoint dueAfter(TimePoint base, std::uint64_t count) const;

  double permitsPerSecond_;
  std::size_t burst_;
  Clock clock_;
  // How far ahead of the steady schedule a burst may run.
  std::chrono::nanoseconds tolerance_{0};

  mutable std::mutex mutex_;
  std::chrono::nanoseconds longestSlowDown_{kDefaultLongestSlowDown};
  // The steady schedule: the next permit is due at dueAfter(base_, count_) - tolerance_.
  TimePoint base_{};
  std::uint64_t count_ = 0;
};

}  // namespace orvane::site
