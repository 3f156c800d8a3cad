#include "pipeline/CallReport.h"

#include <utility>

namespace orvane::site::internal {
namespace {

template <class Tell>
void notify(const std::shared_ptr<CallObserver>& observer, Tell tell) {
  if (!observer) return;
  try {
    tell(*observer);
  } catch (...) {
    // An observer's failure must not change the call.
  }
}

}  // namespace

void CallReport::start() const {
  notify(observer_, [this](CallObserver& observer) {
    observer.onCallStart(CallObserver::CallStart{operation_, callId_});
  });
}

void CallReport::attempt(CallObserver::Attempt event) const {
  event.operation = operation_;
  event.callId = callId_;
  notify(observer_, [&event](CallObserver& observer) { observer.onAttempt(event); });
}

void CallReport::end(const Result<BaseResponse>& result, int attempts,
                     std::chrono::nanoseconds duration) const {
  CallObserver::CallEnd event;
  event.operation = operation_;
  event.callId = callId_;
  event.error = result.ok() ? nullptr : &result.error();
  event.attempts = attempts;
  event.duration = duration;
  notify(observer_, [&event](CallObserver& observer) { observer.onCallEnd(event); });
}

}  // namespace orvane::site::internal
