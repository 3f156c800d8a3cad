#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "orvane/site/Error.h"
#include "orvane/site/RateLimiter.h"
#include "orvane/site/RetryPolicy.h"
#include "orvane/site/transport/HttpOutcome.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::internal {

/// The rate-permit stage: one permit of the client's limiter per attempt, and the service's
/// requests to slow down passed on to it.
class RatePermit {
 public:
  using Clock = std::chrono::steady_clock;

  /// No limiter: every attempt goes at once.
  RatePermit(std::shared_ptr<RateLimiter> limiter, std::shared_ptr<HttpTransport> transport);

  /// Asks for one attempt's permit and runs `send` once it is granted: at once without a
  /// limiter, else through the transport after the wait the limiter names (never inside the
  /// limiter's own call). `fail` runs instead when the limiter or the transport fails.
  void await(HttpTransport::Task send, const std::function<void(Error)>& fail) const;

  /// Passes a 429 or 503 reply's request to slow down on to the limiter, which caps it; a
  /// Retry-After counts only where `policy` honours it, and a bare 429 still slows for a second.
  void afterReply(const HttpOutcome& outcome, const RetryPolicy& policy) const;

  /// The pause a reply asks every caller for (see afterReply); empty for other replies.
  static std::optional<std::chrono::nanoseconds> slowDownAskedBy(const HttpOutcome& outcome,
                                                                 const RetryPolicy& policy);

 private:
  std::shared_ptr<RateLimiter> limiter_;
  std::shared_ptr<HttpTransport> transport_;
};

}  // namespace orvane::site::internal
