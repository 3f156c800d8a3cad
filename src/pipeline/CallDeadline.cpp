#include "pipeline/CallDeadline.h"

#include <string>
#include <utility>

#include "orvane/site/TransportErrorCode.h"
#include "text/NumberText.h"

namespace orvane::site::internal {

Error CallDeadline::error() const {
  return makeTransportError(TransportErrorCode::deadlineExceeded, std::nullopt,
                            "the call's deadline of " + millisecondsText(length_) + " passed");
}

void CallDeadline::arm(HttpTransport& transport, HttpTransport::Task expire) {
  if (armed_.exchange(true)) return;
  transport.runAfter(at() - Clock::now(), std::move(expire));
}

}  // namespace orvane::site::internal
