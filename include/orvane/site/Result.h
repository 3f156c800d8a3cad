#pragma once

#include <memory>
#include <utility>
#include <variant>

#include "orvane/site/Error.h"

namespace orvane::site {

/// The outcome of decoding a reply: the decoded record or the Error that says why not.
///
/// Exactly one of the two is held. `value()` on an error result (or `error()` on a success)
/// returns an empty pointer (or an empty Error) rather than throwing.
template <class T>
class Result {
 public:
  /// A success holding `value`.
  Result(std::shared_ptr<T> value) : state_(std::move(value)) {}  // NOLINT: implicit by design
  /// A failure holding `error`.
  Result(Error error) : state_(std::move(error)) {}  // NOLINT: implicit by design

  /// True when a record was decoded.
  bool ok() const noexcept { return state_.index() == 0; }
  /// The same as ok().
  explicit operator bool() const noexcept { return ok(); }

  /// The decoded record, or nullptr when decoding failed.
  // NOLINTNEXTLINE(bugprone-exception-escape): std::get cannot throw once ok() chose the index
  const std::shared_ptr<T>& value() const& noexcept {
    static const std::shared_ptr<T> kNone;
    return ok() ? std::get<0>(state_) : kNone;
  }
  /// Moves the value out; nullptr on a failure.
  std::shared_ptr<T> value() && noexcept { return ok() ? std::move(std::get<0>(state_)) : nullptr; }

  /// The decoding error, or an empty Error when decoding succeeded.
  // NOLINTNEXTLINE(bugprone-exception-escape): std::get cannot throw once ok() chose the index
  const Error& error() const& noexcept {
    static const Error kNone;
    return ok() ? kNone : std::get<1>(state_);
  }
  /// Moves the error out; an empty Error on a success.
  Error error() && noexcept { return ok() ? Error{} : std::move(std::get<1>(state_)); }

 private:
  std::variant<std::shared_ptr<T>, Error> state_;
};

}  // namespace orvane::site
