#pragma once

#include <atomic>
#include <chrono>

#include "orvane/site/Error.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::internal {

/// The deadline stage: the one moment by which a call ends, whatever phase it is in (queued
/// for a place, waiting for a permit, connecting, in an attempt, in a pause). Every way the
/// call can run out of time at its deadline ends it with the same error, deadlineExceeded.
class CallDeadline {
 public:
  using Clock = std::chrono::steady_clock;

  /// Sets when the call started and how long it may take; called once, before any other member.
  void startAt(Clock::time_point start, std::chrono::nanoseconds length) noexcept {
    start_ = start;
    length_ = length;
  }

  Clock::time_point at() const noexcept {
    return start_ + std::chrono::duration_cast<Clock::duration>(length_);
  }
  std::chrono::nanoseconds length() const noexcept { return length_; }

  /// True when an attempt sent at `now` with `attemptTimeout` would be ended by the deadline
  /// rather than by its own time-out: the transport's time-out of that attempt is the deadline.
  bool boundsAttempt(Clock::time_point now, std::chrono::nanoseconds attemptTimeout) const {
    return at() - now <= attemptTimeout;
  }

  /// The error of a call whose deadline passed.
  Error error() const;

  /// Runs `expire` through `transport` at the deadline; only the first call arms the timer.
  /// Throws what the transport throws.
  void arm(HttpTransport& transport, HttpTransport::Task expire);

 private:
  Clock::time_point start_;
  std::chrono::nanoseconds length_{0};
  std::atomic<bool> armed_{false};
};

}  // namespace orvane::site::internal
