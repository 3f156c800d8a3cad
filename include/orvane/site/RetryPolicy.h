#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "orvane/site/Export.h"

namespace orvane::site {

/// When an option client's call tries again, and how long it pauses first: a copyable value.
///
/// Attempt n+1 follows a pause of min(longestPause, initialPause * multiplier^(n-1)); with full
/// jitter the pause is a random share of that (uniform from zero to it). A reply's Retry-After
/// (429 or 503, when honoured) sets the least pause. The pauses of one call together never
/// exceed the retry budget, and never reach past the call's deadline: when the next pause would,
/// the call ends with the outcome of its last attempt. Pauses are timers; no thread sleeps.
///
/// The default: 4 attempts, 0.5 s initial pause, x2, 30 s longest pause, full jitter, no budget
/// beyond the call's deadline; retried are replies of status 500 or more, 429, failed connections
/// and attempts that timed out (every operation only reads, so sending one again is safe).
///
/// All members are const-safe to call from any thread; the random source is called on the
/// library thread.
class ORVANE_SITE_EXPORT RetryPolicy {
 public:
  /// Returns a number in [0, 1); used for jitter.
  using RandomSource = std::function<double()>;

  /// The default policy described above.
  RetryPolicy();

  /// The schedule of the process-wide facade: 4 attempts (3 retries), pauses of 1 s, 1.5 s and
  /// 2.25 s (x1.5, no jitter, no longest pause below an hour), only replies of status 500 or
  /// more are retried, Retry-After is not read.
  static RetryPolicy specSchedule();

  /// Attempts in all, the first included; 1 means no retry. Values below 1 count as 1.
  RetryPolicy& setMaxAttempts(int value);
  /// The value given to setMaxAttempts().
  int maxAttempts() const noexcept { return maxAttempts_; }

  /// The pause before the first retry.
  RetryPolicy& setInitialPause(std::chrono::nanoseconds value);
  /// The value given to setInitialPause().
  std::chrono::nanoseconds initialPause() const noexcept { return initialPause_; }

  /// What each further pause is multiplied by (values below 1 count as 1).
  RetryPolicy& setMultiplier(double value);
  /// The value given to setMultiplier().
  double multiplier() const noexcept { return multiplier_; }

  /// The longest pause before jitter.
  RetryPolicy& setLongestPause(std::chrono::nanoseconds value);
  /// The value given to setLongestPause().
  std::chrono::nanoseconds longestPause() const noexcept { return longestPause_; }

  /// Full jitter on (a random share of each pause) or off (the pause itself).
  RetryPolicy& setJitter(bool value);
  /// The value given to setJitter().
  bool jitter() const noexcept { return jitter_; }

  /// The most time all pauses of one call may take together; none: only the deadline bounds.
  RetryPolicy& setRetryBudget(std::optional<std::chrono::nanoseconds> value);
  /// The value given to setRetryBudget().
  std::optional<std::chrono::nanoseconds> retryBudget() const noexcept { return retryBudget_; }

  /// Retry replies with a status of 500 or more.
  RetryPolicy& setRetryServerErrors(bool value);
  /// The value given to setRetryServerErrors().
  bool retryServerErrors() const noexcept { return retryServerErrors_; }
  /// Retry replies with status 429 (too many requests).
  RetryPolicy& setRetryTooManyRequests(bool value);
  /// The value given to setRetryTooManyRequests().
  bool retryTooManyRequests() const noexcept { return retryTooManyRequests_; }
  /// Wait at least what a 429 or 503 reply's Retry-After asks for.
  RetryPolicy& setHonourRetryAfter(bool value);
  /// The value given to setHonourRetryAfter().
  bool honourRetryAfter() const noexcept { return honourRetryAfter_; }
  /// Retry exchanges without a reply because the connection failed.
  RetryPolicy& setRetryConnectionFailures(bool value);
  /// The value given to setRetryConnectionFailures().
  bool retryConnectionFailures() const noexcept { return retryConnectionFailures_; }
  /// Retry attempts that timed out (not a call whose deadline passed).
  RetryPolicy& setRetryTimeouts(bool value);
  /// The value given to setRetryTimeouts().
  bool retryTimeouts() const noexcept { return retryTimeouts_; }

  /// The source of jitter; an empty one restores the default (a per-thread generator seeded
  /// at random). Tests give a fixed sequence to check the exact pauses.
  RetryPolicy& setRandomSource(RandomSource value);

  /// The pause before retry `retry` (1 for the first retry) without jitter.
  std::chrono::nanoseconds backoff(int retry) const noexcept;

  /// The pause before retry `retry`: the backoff, jittered when jitter is on, at least
  /// `retryAfter` when given and honoured.
  std::chrono::nanoseconds pauseBefore(int retry,
                                       std::optional<std::chrono::nanoseconds> retryAfter) const;

 private:
  int maxAttempts_ = 4;
  std::chrono::nanoseconds initialPause_ = std::chrono::milliseconds(500);
  double multiplier_ = 2.0;
  std::chrono::nanoseconds longestPause_ = std::chrono::seconds(30);
  bool jitter_ = true;
  std::optional<std::chrono::nanoseconds> retryBudget_;
  bool retryServerErrors_ = true;
  bool retryTooManyRequests_ = true;
  bool honourRetryAfter_ = true;
  bool retryConnectionFailures_ = true;
  bool retryTimeouts_ = true;
  RandomSource random_;
};

}  // namespace orvane::site
