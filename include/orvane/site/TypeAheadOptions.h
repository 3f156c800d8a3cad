#pragma once

#include <chrono>
#include <cstddef>
#include <utility>

#include "orvane/site/CallOptions.h"

namespace orvane::site {

/// How a type-ahead helper (QueryTypeAhead, QuerySuggestionTypeAhead) paces its calls.
/// Setters chain; the defaults suit a text box typed into by a person.
class TypeAheadOptions {
 public:
  /// How long the text must stay unchanged before a call starts. Default 250 ms; zero starts
  /// the call as soon as the client's transport can run a timer.
  TypeAheadOptions& setQuietTime(std::chrono::milliseconds value) {
    quietTime_ = value;
    return *this;
  }
  /// The value given to setQuietTime().
  std::chrono::milliseconds quietTime() const noexcept { return quietTime_; }

  /// The fewest characters (Unicode scalar values) a text needs for a call; a shorter text
  /// only cancels what is under way. Default 2.
  TypeAheadOptions& setMinimumLength(std::size_t value) {
    minimumLength_ = value;
    return *this;
  }
  /// The value given to setMinimumLength().
  std::size_t minimumLength() const noexcept { return minimumLength_; }

  /// How many recent texts' successful results are kept and answered from without a call
  /// (the least recently used is forgotten first). Default 0: no memo, every text is a call.
  TypeAheadOptions& setMemoSize(std::size_t value) {
    memoSize_ = value;
    return *this;
  }
  /// The value given to setMemoSize().
  std::size_t memoSize() const noexcept { return memoSize_; }

  /// The options of each call the helper makes (deadline, attempt time-out, retries).
  TypeAheadOptions& setCallOptions(CallOptions value) {
    callOptions_ = std::move(value);
    return *this;
  }
  /// The value given to setCallOptions().
  const CallOptions& callOptions() const noexcept { return callOptions_; }

 private:
  std::chrono::milliseconds quietTime_{250};
  std::size_t minimumLength_ = 2;
  std::size_t memoSize_ = 0;
  CallOptions callOptions_;
};

}  // namespace orvane::site
