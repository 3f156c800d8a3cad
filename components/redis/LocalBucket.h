#pragma once

#include <chrono>
#include <cstddef>

namespace orvane::site::redis {

/// A bucket of this process alone, with the same rules as the shared one: after a quiet time
/// `burst` permits may be used at once, then one per interval. Reserving never refuses: it says
/// how long the permit must wait. Not thread-safe; the limiter guards it with its lock.
class LocalBucket {
 public:
  using Clock = std::chrono::steady_clock;

  LocalBucket(double permitsPerSecond, std::size_t burst);

  /// Takes the next permit; returns how long after `now` it may be used (zero: at once).
  std::chrono::nanoseconds reserve(Clock::time_point now);

  /// No permit taken from now on is usable before `notBefore`, and none comes as a burst
  /// right after it.
  void holdUntil(Clock::time_point notBefore);

  /// Time between two permits.
  std::chrono::nanoseconds interval() const noexcept { return interval_; }

 private:
  std::chrono::nanoseconds interval_;
  // How far ahead of the next slot a permit may be used: (burst - 1) intervals.
  std::chrono::nanoseconds tolerance_;
  // The slot of the next permit (the generic cell rate algorithm's theoretical arrival time).
  Clock::time_point next_{};
};

}  // namespace orvane::site::redis
