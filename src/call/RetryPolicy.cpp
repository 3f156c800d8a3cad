#include "orvane/site/RetryPolicy.h"

#include <algorithm>
#include <cmath>
#include <random>
#include <utility>

namespace orvane::site {
namespace {

double defaultRandom() {
  thread_local std::mt19937_64 generator{std::random_device{}()};
  return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}

}  // namespace

RetryPolicy::RetryPolicy() = default;

RetryPolicy RetryPolicy::specSchedule() {
  RetryPolicy policy;
  policy.setMaxAttempts(4)
      .setInitialPause(std::chrono::seconds(1))
      .setMultiplier(1.5)
      .setLongestPause(std::chrono::hours(1))
      .setJitter(false)
      .setRetryTooManyRequests(false)
      .setHonourRetryAfter(false)
      .setRetryConnectionFailures(false)
      .setRetryTimeouts(false);
  return policy;
}

RetryPolicy& RetryPolicy::setMaxAttempts(int value) {
  maxAttempts_ = std::max(1, value);
  return *this;
}

RetryPolicy& RetryPolicy::setInitialPause(std::chrono::nanoseconds value) {
  initialPause_ = std::max(value, std::chrono::nanoseconds::zero());
  return *this;
}

RetryPolicy& RetryPolicy::setMultiplier(double value) {
  multiplier_ = std::isfinite(value) && value > 1.0 ? value : 1.0;
  return *this;
}

RetryPolicy& RetryPolicy::setLongestPause(std::chrono::nanoseconds value) {
  longestPause_ = std::max(value, std::chrono::nanoseconds::zero());
  return *this;
}

RetryPolicy& RetryPolicy::setJitter(bool value) {
  jitter_ = value;
  return *this;
}

RetryPolicy& RetryPolicy::setRetryBudget(std::optional<std::chrono::nanoseconds> value) {
  retryBudget_ = value;
  return *this;
}

RetryPolicy& RetryPolicy::setRetryServerErrors(bool value) {
  retryServerErrors_ = value;
  return *this;
}

RetryPolicy& RetryPolicy::setRetryTooManyRequests(bool value) {
  retryTooManyRequests_ = value;
  return *this;
}

RetryPolicy& RetryPolicy::setHonourRetryAfter(bool value) {
  honourRetryAfter_ = value;
  return *this;
}

RetryPolicy& RetryPolicy::setRetryConnectionFailures(bool value) {
  retryConnectionFailures_ = value;
  return *this;
}

RetryPolicy& RetryPolicy::setRetryTimeouts(bool value) {
  retryTimeouts_ = value;
  return *this;
}

RetryPolicy& RetryPolicy::setRandomSource(RandomSource value) {
  random_ = std::move(value);
  return *this;
}

std::chrono::nanoseconds RetryPolicy::backoff(int retry) const noexcept {
  // In floating point, so that many retries or a large multiplier cannot overflow.
  const double longest = static_cast<double>(longestPause_.count());
  double pause = static_cast<double>(initialPause_.count());
  for (int n = 1; n < retry && pause < longest; ++n) pause *= multiplier_;
  return std::chrono::nanoseconds(static_cast<std::int64_t>(std::min(pause, longest)));
}

std::chrono::nanoseconds RetryPolicy::pauseBefore(
    int retry, std::optional<std::chrono::nanoseconds> retryAfter) const {
  std::chrono::nanoseconds pause = backoff(retry);
  if (jitter_) {
    double share = random_ ? random_() : defaultRandom();
    if (!(share >= 0.0)) share = 0.0;  // NaN too
    share = std::min(share, 1.0);
    pause = std::chrono::nanoseconds(
        static_cast<std::int64_t>(static_cast<double>(pause.count()) * share));
  }
  if (honourRetryAfter_ && retryAfter) pause = std::max(pause, *retryAfter);
  return pause;
}

}  // namespace orvane::site
