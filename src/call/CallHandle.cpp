#include "orvane/site/CallHandle.h"

#include <utility>

#include "call/CallState.h"
#include "orvane/site/TransportErrorCode.h"

namespace orvane::site {

CallHandle::CallHandle(std::shared_ptr<internal::CallState> state) : state_(std::move(state)) {}

void CallHandle::cancel() const {
  if (state_) state_->cancel();
}

bool CallHandle::done() const { return state_ && state_->done(); }

Result<BaseResponse> CallHandle::get() const {
  if (!state_) {
    return makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                              "this Call refers to no call");
  }
  return state_->get();
}

std::optional<Result<BaseResponse>> CallHandle::waitFor(std::chrono::nanoseconds wait) const {
  if (!state_) {
    return Result<BaseResponse>(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                                                   "this Call refers to no call"));
  }
  return state_->waitFor(wait);
}

}  // namespace orvane::site
