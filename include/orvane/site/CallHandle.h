#pragma once

#include <chrono>
#include <memory>
#include <optional>

#include "orvane/site/Export.h"
#include "orvane/site/Result.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site {

namespace internal {
class CallLife;
}  // namespace internal

/// The part of Call<T> that does not depend on the response type: one call under way or ended.
/// Applications use Call<T>; see there. Copies refer to the same call. Thread-safe.
class ORVANE_SITE_EXPORT CallHandle {
 public:
  /// A handle to no call: done() is false, get() returns an error at once.
  CallHandle() = default;
  /// Wraps the state of a started call. Only the library makes these, so the constructor stays
  /// out of the binary interface.
  ORVANE_SITE_NO_EXPORT explicit CallHandle(std::shared_ptr<internal::CallLife> state);

  /// A handle to a call that is already done with `result`: done() is true at once, get()
  /// returns it, cancel() changes nothing. For connections that answer without a request
  /// (tests' mocks among them; see testkit::readyCall).
  static CallHandle ready(Result<BaseResponse> result);

  /// Cancels the call (see Call::cancel).
  void cancel() const;
  /// True once the call's result is known.
  bool done() const;
  /// The result, waiting for it (see Call::get).
  Result<BaseResponse> get() const;
  /// The result if it is known within `wait`.
  std::optional<Result<BaseResponse>> waitFor(std::chrono::nanoseconds wait) const;

 private:
  std::shared_ptr<internal::CallLife> state_;
};

}  // namespace orvane::site
