#include "pipeline/RatePermit.h"

#include <exception>
#include <string>
#include <utility>

#include "orvane/site/TransportErrorCode.h"
#include "pipeline/ReplyRules.h"

namespace orvane::site::internal {

RatePermit::RatePermit(std::shared_ptr<RateLimiter> limiter,
                       std::shared_ptr<HttpTransport> transport)
    : limiter_(std::move(limiter)), transport_(std::move(transport)) {}

void RatePermit::await(HttpTransport::Task send, const std::function<void(Error)>& fail) const {
  if (!limiter_) {
    send();
    return;
  }
  // The grant may come inside acquire or later on any thread; the send itself always goes
  // through the transport.
  auto granted = [transport = transport_, send = std::move(send),
                  fail](std::chrono::nanoseconds wait) mutable {
    try {
      if (wait > std::chrono::nanoseconds::zero()) {
        transport->runAfter(wait, std::move(send));
      } else {
        transport->post(std::move(send));
      }
    } catch (const std::exception& problem) {
      fail(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                              std::string("the send could not be scheduled: ") + problem.what()));
    }
  };
  try {
    limiter_->acquire(std::move(granted));
  } catch (const std::exception& problem) {
    fail(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                            std::string("the rate limiter failed: ") + problem.what()));
  }
}

void RatePermit::afterReply(const HttpOutcome& outcome, const RetryPolicy& policy) const {
  if (!limiter_) return;
  if (const auto pause = slowDownAskedBy(outcome, policy)) {
    try {
      limiter_->slowDown(*pause);
    } catch (...) {
      // A limiter's failure to slow down must not end the call.
    }
  }
}

std::optional<std::chrono::nanoseconds> RatePermit::slowDownAskedBy(const HttpOutcome& outcome,
                                                                    const RetryPolicy& policy) {
  const std::optional<std::chrono::nanoseconds> asked = askedPause(outcome);
  if (asked && policy.honourRetryAfter()) return asked;
  if (outcome.statusCode == 429) return std::chrono::nanoseconds(std::chrono::seconds(1));
  return std::nullopt;
}

}  // namespace orvane::site::internal
