#include "orvane/site/CallHandle.h"

#include <memory>
#include <utility>

#include "call/CallLife.h"
#include "orvane/site/TransportErrorCode.h"

namespace orvane::site {
namespace {

// A call whose result was known when it was made.
class ReadyCall final : public internal::CallLife {
 public:
  explicit ReadyCall(Result<BaseResponse> result) : result_(std::move(result)) {}
  void cancel() override {}
  bool done() const override { return true; }
  Result<BaseResponse> get() override { return result_; }
  std::optional<Result<BaseResponse>> waitFor(std::chrono::nanoseconds /*wait*/) override {
    return result_;
  }

 private:
  const Result<BaseResponse> result_;
};

}  // namespace

CallHandle::CallHandle(std::shared_ptr<internal::CallLife> state) : state_(std::move(state)) {}

CallHandle CallHandle::ready(Result<BaseResponse> result) {
  return CallHandle(std::make_shared<ReadyCall>(std::move(result)));
}

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
