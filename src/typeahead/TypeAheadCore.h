#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "orvane/site/Result.h"
#include "orvane/site/TypeAheadOptions.h"
#include "orvane/site/responses/BaseResponse.h"
#include "typeahead/TypeAheadSeams.h"

namespace orvane::site::internal {

/// The part of a type-ahead helper that does not depend on the operation: the newest text, the
/// quiet-time timer, the call under way, the memo, and the rule that only the newest text's
/// result reaches the handler. Each text set is a generation; a timer, call or memo answer of
/// an older generation delivers nothing. Thread-safe.
class TypeAheadCore : public std::enable_shared_from_this<TypeAheadCore> {
 public:
  /// Receives one call's result.
  using Done = std::function<void(Result<BaseResponse>)>;
  /// Starts the operation's call for `text`; returns what cancels it.
  using Start = std::function<std::function<void()>(const std::string& text, Done done)>;
  /// The application's handler, over the operation's response as a BaseResponse.
  using Deliver = std::function<void(const std::string& text, Result<BaseResponse> result)>;

  static std::shared_ptr<TypeAheadCore> create(TypeAheadSeams seams, TypeAheadOptions options,
                                               Start start, Deliver deliver);
  TypeAheadCore(TypeAheadSeams seams, TypeAheadOptions options, Start start, Deliver deliver);

  /// The text as it now stands: supersedes whatever an older text started.
  void setText(std::string text);
  /// Drops the current text: its timer and call deliver nothing.
  void clear();
  /// Ends the helper: cancels its call, and returns once no handler of it runs (unless called
  /// from inside one); none starts afterwards.
  void close();

 private:
  using Generation = std::uint64_t;
  struct Remembered {
    std::string text;
    Result<BaseResponse> result;
  };

  // Starts the call of `generation` when its quiet time is over and nothing newer came.
  void quietTimeOver(Generation generation);
  // A call's result: remembered when it succeeded, delivered when still the newest.
  void callEnded(Generation generation, const std::string& text, Result<BaseResponse> result);
  // Runs the handler unless `generation` is no longer the newest; one handler at a time.
  void deliver(Generation generation, const std::string& text, Result<BaseResponse> result);
  // Makes a new generation and hands back the cancel of the older one's call. Under mutex_.
  std::function<void()> supersede();
  std::optional<Result<BaseResponse>> recall(const std::string& text);         // under mutex_
  void remember(const std::string& text, const Result<BaseResponse>& result);  // under mutex_
  void runOnExecutor(std::function<void()> task) const;

  const TypeAheadSeams seams_;
  const TypeAheadOptions options_;
  const Start start_;
  const Deliver deliver_;

  std::mutex mutex_;
  std::condition_variable handlerReturned_;
  bool closed_ = false;
  Generation generation_ = 0;
  std::optional<std::string> text_;
  std::function<void()> cancelCall_;
  std::optional<std::thread::id> delivering_;  // the thread running the handler, if any
  std::list<Remembered> memo_;                 // most recent first
};

}  // namespace orvane::site::internal
