#pragma once

#include <chrono>
#include <optional>

#include "orvane/site/Export.h"
#include "orvane/site/RetryPolicy.h"

namespace orvane::site {

/// Values that override a client's options for one call: deadline, attempt time-out, retry
/// policy. A copyable value; what is not set comes from the client's ClientOptions.
///
/// \code
/// auto call = client.timezone(request, orvane::site::CallOptions().setDeadline(2s));
/// \endcode
class ORVANE_SITE_EXPORT CallOptions {
 public:
  /// The whole call (queueing, every attempt, every pause) ends by then, with
  /// TransportErrorCode::deadlineExceeded at the latest.
  CallOptions& setDeadline(std::chrono::nanoseconds value);
  /// The value set with setDeadline.
  const std::optional<std::chrono::nanoseconds>& deadline() const noexcept { return deadline_; }

  /// Each attempt's time-out, counted from the moment its transfer starts.
  CallOptions& setAttemptTimeout(std::chrono::nanoseconds value);
  /// The value set with setAttemptTimeout.
  const std::optional<std::chrono::nanoseconds>& attemptTimeout() const noexcept {
    return attemptTimeout_;
  }

  /// The retry policy of this call.
  CallOptions& setRetryPolicy(RetryPolicy value);
  /// The value set with setRetryPolicy.
  const std::optional<RetryPolicy>& retryPolicy() const noexcept { return retryPolicy_; }

 private:
  std::optional<std::chrono::nanoseconds> deadline_;
  std::optional<std::chrono::nanoseconds> attemptTimeout_;
  std::optional<RetryPolicy> retryPolicy_;
};

}  // namespace orvane::site
