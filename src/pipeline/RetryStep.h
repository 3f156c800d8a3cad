#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "orvane/site/RetryPolicy.h"
#include "pipeline/ReplyRules.h"

namespace orvane::site::internal {

/// What follows an attempt that failed: a pause and another attempt, or the end of the call
/// (with a detail saying why no retry came, where that is not plain from the error).
struct RetryPlan {
  /// Present when the call tries again after this pause.
  std::optional<std::chrono::nanoseconds> pause;
  /// Why no retry came, for Error::userInfo["detail"]; empty when the rule itself says it.
  std::string detail;
};

/// Whether `policy` tries again after an attempt with this verdict.
bool policyRetries(const RetryPolicy& policy, const ReplyVerdict& verdict);

/// The retry plan of an option client's call after `attempts` attempts, `paused` spent in its
/// pauses so far and `elapsed` since it started, against its `deadline`. `retryAfter` is the
/// pause the service asked for (429 and 503 only).
RetryPlan planPolicyRetry(const RetryPolicy& policy, int attempts, std::chrono::nanoseconds paused,
                          std::chrono::nanoseconds elapsed, std::chrono::nanoseconds deadline,
                          std::optional<std::chrono::nanoseconds> retryAfter);

/// The request manager's schedule: `maxRetry` retries left, each pause 1.5 times the one before
/// (the caller grows it), bounded so that every call ends.
struct ManagerSchedule {
  std::int64_t maxRetry = 0;
  std::int64_t retriesMade = 0;
  /// The next pause, in seconds.
  double retryInterval = 0;
  std::int64_t mostRetries = 0;
  double longestPauseSeconds = 0;
};

/// The plan of a request manager's call after a server error.
RetryPlan planManagerRetry(const ManagerSchedule& schedule);

}  // namespace orvane::site::internal
