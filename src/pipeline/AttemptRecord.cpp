#include "pipeline/AttemptRecord.h"

namespace orvane::site::internal {

int AttemptRecord::next(Clock::time_point now) noexcept {
  askedAt_ = now;
  return ++current_;
}

void AttemptRecord::send(Clock::time_point now, std::size_t bytes,
                         std::chrono::nanoseconds clientQueueWait) {
  open_ = true;
  ++sent_;
  sentAt_ = now;
  bytesSent_ = bytes;
  limiterWait_ = now - askedAt_;
  queueWait_ = current_ == 1 ? clientQueueWait : std::chrono::nanoseconds::zero();
}

std::optional<CallObserver::Attempt> AttemptRecord::close(
    Clock::time_point now, long statusCode, std::optional<std::int64_t> failure,
    std::size_t bytesReceived, std::chrono::nanoseconds transportQueueWait,
    std::string_view protocol) {
  if (!open_) return std::nullopt;
  open_ = false;
  CallObserver::Attempt event;
  event.attempt = current_;
  event.statusCode = statusCode;
  event.failure = failure;
  event.duration = now - sentAt_;
  event.bytesSent = bytesSent_;
  event.bytesReceived = bytesReceived;
  event.queueWait = queueWait_ + transportQueueWait;
  event.limiterWait = limiterWait_;
  event.protocol = protocol;
  return event;
}

}  // namespace orvane::site::internal
