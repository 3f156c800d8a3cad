#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "orvane/site/CallObserver.h"

namespace orvane::site::internal {

/// The attempt stage's accounting for one call: each attempt's number, what it sent and what
/// it waited for, and the one observer event it yields however it ends (a reply, a failure,
/// or the call's end by cancel, deadline or shutdown while it was under way).
///
/// A plain value: its owner serialises access.
class AttemptRecord {
 public:
  using Clock = std::chrono::steady_clock;

  /// A new attempt starts by asking for its permit at `now`; returns its number (1, 2, ...).
  int next(Clock::time_point now) noexcept;
  /// The number of the latest attempt; 0 before the first.
  int current() const noexcept { return current_; }
  /// Attempts handed to the transport so far.
  int sent() const noexcept { return sent_; }

  /// The latest attempt goes to the transport at `now` with `bytes`; `clientQueueWait` is the
  /// wait for a place in the client before the call's first attempt.
  void send(Clock::time_point now, std::size_t bytes, std::chrono::nanoseconds clientQueueWait);

  /// Ends the attempt under way at `now`: its event, with the transport's own wait for a
  /// connection added to its queue wait, and the HTTP version it used (static text). Empty when
  /// no attempt is under way (then nothing is told twice).
  std::optional<CallObserver::Attempt> close(Clock::time_point now, long statusCode,
                                             std::optional<std::int64_t> failure,
                                             std::size_t bytesReceived,
                                             std::chrono::nanoseconds transportQueueWait,
                                             std::string_view protocol = {});

 private:
  int current_ = 0;
  int sent_ = 0;
  bool open_ = false;
  Clock::time_point askedAt_;
  Clock::time_point sentAt_;
  std::size_t bytesSent_ = 0;
  std::chrono::nanoseconds queueWait_{0};
  std::chrono::nanoseconds limiterWait_{0};
};

}  // namespace orvane::site::internal
