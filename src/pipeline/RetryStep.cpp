#include "pipeline/RetryStep.h"

#include <cmath>

#include "text/NumberText.h"

namespace orvane::site::internal {

bool policyRetries(const RetryPolicy& policy, const ReplyVerdict& verdict) {
  switch (verdict.kind) {
    case ReplyVerdict::Kind::noReply:
      return (verdict.failure == TransportErrorCode::connectionFailed &&
              policy.retryConnectionFailures()) ||
             (verdict.failure == TransportErrorCode::timedOut && policy.retryTimeouts());
    case ReplyVerdict::Kind::serverError:
      return policy.retryServerErrors();
    case ReplyVerdict::Kind::tooManyRequests:
      return policy.retryTooManyRequests();
    case ReplyVerdict::Kind::success:
    case ReplyVerdict::Kind::notUtf8:
    case ReplyVerdict::Kind::errorReply:
      break;
  }
  return false;
}

RetryPlan planPolicyRetry(const RetryPolicy& policy, int attempts, std::chrono::nanoseconds paused,
                          std::chrono::nanoseconds elapsed, std::chrono::nanoseconds deadline,
                          std::optional<std::chrono::nanoseconds> retryAfter) {
  RetryPlan plan;
  if (attempts >= policy.maxAttempts()) return plan;
  const std::chrono::nanoseconds pause = policy.pauseBefore(attempts, retryAfter);
  if (policy.retryBudget() && paused + pause > *policy.retryBudget()) {
    plan.detail = "the retry budget of " + millisecondsText(*policy.retryBudget()) + " is used up";
    return plan;
  }
  if (elapsed + pause >= deadline) {
    plan.detail = "the next retry would come after the call's deadline";
    return plan;
  }
  plan.pause = pause;
  return plan;
}

RetryPlan planManagerRetry(const ManagerSchedule& schedule) {
  RetryPlan plan;
  const double pause = schedule.retryInterval;
  if (schedule.maxRetry <= 0) {
    plan.detail = "no retry left after " + std::to_string(schedule.retriesMade + 1) + " attempts";
  } else if (schedule.retriesMade >= schedule.mostRetries) {
    plan.detail = "the limit of " + std::to_string(schedule.mostRetries) + " retries was reached";
  } else if (!std::isfinite(pause) || pause > schedule.longestPauseSeconds) {
    plan.detail = "the retry pause is not a number of seconds from 0 to " +
                  std::to_string(static_cast<long>(schedule.longestPauseSeconds));
  } else {
    plan.pause = pause <= 0 ? std::chrono::nanoseconds::zero()
                            : std::chrono::duration_cast<std::chrono::nanoseconds>(
                                  std::chrono::duration<double>(pause));
  }
  return plan;
}

}  // namespace orvane::site::internal
