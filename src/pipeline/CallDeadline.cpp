#include "pipeline/CallDeadline.h"

#include <string>
#include <utility>

#include "orvane/site/TransportErrorCode.h"

namespace orvane::site::internal {

Error CallDeadline::error() const {
  const auto milliseconds = std::chrono::duration_cast<std::chrono::milliseconds>(length_);
  return makeTransportError(
      TransportErrorCode::deadlineExceeded, std::nullopt,
      "the call's deadline of " + std::to_string(milliseconds.count()) + " ms passed");
}

void CallDeadline::arm(HttpTransport& transport, HttpTransport::Task expire) {
  if (armed_.exchange(true)) return;
  transport.runAfter(at() - Clock::now(), std::move(expire));
}

}  // namespace orvane::site::internal
