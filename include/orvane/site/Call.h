#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <utility>

#include "orvane/site/CallHandle.h"
#include "orvane/site/Result.h"

namespace orvane::site {

/// A call of an option client under way or ended, returned by the operations that take no
/// ApiContext (for example `SiteClient::timezone(request)`).
///
/// Copyable (copies refer to the same call) and thread-safe. Letting every copy go does not
/// cancel the call: it runs on, and its handler (if any) is still called.
///
/// \code
/// auto call = client.timezone(request, orvane::site::CallOptions().setDeadline(2s));
/// orvane::site::Result<orvane::site::TimezoneResponse> result = call.get();
/// if (!result) std::cerr << result.error().localizedDescription << "\n";
/// \endcode
template <class T>
class Call {
 public:
  /// A handle to no call (get() returns an error at once).
  Call() = default;
  /// Wraps the untyped handle of a call that decodes into T (made by SiteClient).
  explicit Call(CallHandle handle) : handle_(std::move(handle)) {}

  /// Cancels the call: a waiting or running exchange is stopped (its connection freed), a
  /// pending retry pause is dropped, and the call ends with TransportErrorCode::cancelled,
  /// unless its result was already known. Idempotent; any thread; returns at once (the handler
  /// runs later, on the client's handler thread).
  void cancel() const { handle_.cancel(); }

  /// True once the call has ended and its handler (if any) has returned; get() then returns
  /// at once.
  bool done() const { return handle_.done(); }

  /// Waits until the call has ended and its handler (if any) has returned, then returns the
  /// result. On the library thread, or inside a handler run by the library, for a call not yet
  /// ended, it returns TransportErrorCode::calledOnLibraryThread at once instead of waiting
  /// forever (inside the call's own handler it returns the result).
  Result<T> get() const { return cast(handle_.get()); }

  /// The result if it is known within `wait`, else nothing. The same rule as get() on the
  /// library thread.
  template <class Rep, class Period>
  std::optional<Result<T>> waitFor(std::chrono::duration<Rep, Period> wait) const {
    std::optional<Result<BaseResponse>> result =
        handle_.waitFor(std::chrono::duration_cast<std::chrono::nanoseconds>(wait));
    if (!result) return std::nullopt;
    return cast(std::move(*result));
  }

 private:
  // The call decoded its reply as T, so the record is a T.
  static Result<T> cast(Result<BaseResponse> result) {
    if (!result.ok()) return Result<T>(std::move(result).error());
    return Result<T>(std::static_pointer_cast<T>(std::move(result).value()));
  }

  CallHandle handle_;
};

}  // namespace orvane::site
