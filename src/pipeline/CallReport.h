#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "orvane/site/CallObserver.h"
#include "orvane/site/Result.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site::internal {

/// Tells a client's observer of one call's start, attempts and end. Whatever an observer
/// throws is dropped: its failure never changes the call.
class CallReport {
 public:
  CallReport(std::shared_ptr<CallObserver> observer, const char* operation, std::uint64_t callId)
      : observer_(std::move(observer)), operation_(operation), callId_(callId) {}

  void start() const;
  void attempt(CallObserver::Attempt event) const;
  void end(const Result<BaseResponse>& result, int attempts,
           std::chrono::nanoseconds duration) const;

 private:
  std::shared_ptr<CallObserver> observer_;
  const char* operation_;
  std::uint64_t callId_;
};

}  // namespace orvane::site::internal
