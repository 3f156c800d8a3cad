#pragma once

#include <chrono>
#include <optional>

#include "orvane/site/Result.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site::internal {

/// A call's life as its handle sees it: whether it is done, its result, and cancel. Thread-safe.
class CallLife {
 public:
  virtual ~CallLife() = default;
  virtual void cancel() = 0;
  virtual bool done() const = 0;
  virtual Result<BaseResponse> get() = 0;
  virtual std::optional<Result<BaseResponse>> waitFor(std::chrono::nanoseconds wait) = 0;
};

}  // namespace orvane::site::internal
