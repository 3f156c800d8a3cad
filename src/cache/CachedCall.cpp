#include "cache/CachedCall.h"

#include <utility>

#include "cache/Flight.h"
#include "call/ClientCore.h"
#include "call/DeliveryScope.h"
#include "call/Lifecycle.h"
#include "orvane/site/TransportErrorCode.h"

namespace orvane::site::internal {

CachedCall::CachedCall(std::shared_ptr<ClientCore> core, std::chrono::nanoseconds deadline)
    : core_(std::move(core)) {
  deadline_.startAt(CallDeadline::Clock::now(), deadline);
}

void CachedCall::begin() {
  Lifecycle::instance().callStarted();
  counted_ = true;
}

void CachedCall::join(std::shared_ptr<Flight> flight) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!ended_) flight_ = std::move(flight);
  }
  std::weak_ptr<CachedCall> weak = weak_from_this();
  try {
    deadline_.arm(*core_->transport(), [weak] {
      if (auto call = weak.lock()) call->end(call->deadline_.error(), true);
    });
  } catch (const std::exception& problem) {
    end(makeTransportError(TransportErrorCode::otherFailure, std::nullopt,
                           std::string("the deadline could not be set: ") + problem.what()),
        true);
  }
}

void CachedCall::answer(const Result<BaseResponse>& result) {
  if (!result.ok()) {
    end(result, false);
    return;
  }
  end(Result<BaseResponse>(ownCopy(*result.value())), false);
}

void CachedCall::cancel() { end(makeTransportError(TransportErrorCode::cancelled), true); }

void CachedCall::end(Result<BaseResponse> result, bool leave) {
  std::shared_ptr<Flight> flight;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_) return;
    ended_ = true;
    result_ = std::move(result);
    flight = std::move(flight_);
  }
  if (flight && leave) core_->flights().leave(flight, this);
  if (counted_) Lifecycle::instance().callEnded();
  handOver();
}

void CachedCall::handOver() {
  auto self = shared_from_this();
  auto task = [self] { self->deliver(); };
  if (const Executor& executor = core_->handlerExecutor()) {
    try {
      executor(task);
      return;
    } catch (...) {
      // An executor that cannot take the task: the library thread delivers instead.
    }
  }
  try {
    core_->transport()->post(std::move(task));
  } catch (...) {
    task();  // no delivery thread could be reached: answering late beats never
  }
}

void CachedCall::deliver() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    deliveryStarted_ = true;
  }
  {
    // Set once by end() before this task was handed over: read unlocked.
    DeliveryScope scope;
    try {
      runHandler(*result_);
    } catch (...) {
      // A handler's exception goes no further.
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
  }
  delivered_.notify_all();
}

bool CachedCall::done() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return finished_;
}

Result<BaseResponse> CachedCall::get() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (finished_) return *result_;
  if (DeliveryScope::active()) {
    if (deliveryStarted_) return *result_;
    return makeTransportError(TransportErrorCode::calledOnLibraryThread, std::nullopt,
                              "waiting here would keep the call from ever ending");
  }
  delivered_.wait(lock, [this] { return finished_; });
  return *result_;
}

std::optional<Result<BaseResponse>> CachedCall::waitFor(std::chrono::nanoseconds wait) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (finished_) return *result_;
  if (DeliveryScope::active()) {
    if (deliveryStarted_) return *result_;
    return Result<BaseResponse>(
        makeTransportError(TransportErrorCode::calledOnLibraryThread, std::nullopt,
                           "waiting here would keep the call from ever ending"));
  }
  if (!delivered_.wait_for(lock, wait, [this] { return finished_; })) return std::nullopt;
  return *result_;
}

}  // namespace orvane::site::internal
