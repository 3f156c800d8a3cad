#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "RowOutcome.h"
#include "RowRunner.h"

namespace orvane::site::cli::batch {

/// Lets rows whose request is the same (requestKey) share one call. A row whose identical call
/// is still in flight waits for it; later rows take its outcome from a memo of the last
/// `capacity` distinct requests. Only outcomes that would come again are kept there (a reply,
/// or a refusal the same request would get again: RowOutcome::refusalIsFinal); a failure that
/// may pass later, a cancelled call or a reply that did not decode reaches the rows that shared
/// its call and no later one, which makes a call of its own.
///
/// The memo holds outcomes (the few cells a row writes), not replies, so that its memory stays
/// small. A row answered from it gets `done` at once, on the caller's thread. Cancelling a row
/// that shares a call cancels that call for every row waiting on it.
class CallMemo {
 public:
  using Done = std::function<void(RowOutcome)>;
  /// Starts the call, whose outcome goes to the `Done` it is given.
  using Start = std::function<RowRunner::Cancel(Done)>;

  static constexpr std::size_t kDefaultCapacity = 2048;

  explicit CallMemo(std::size_t capacity = kDefaultCapacity);
  ~CallMemo();
  CallMemo(const CallMemo&) = delete;
  CallMemo& operator=(const CallMemo&) = delete;

  /// Gives the row the outcome of the call of `key`: the memo's, the one in flight's, or one
  /// `start` makes. `done` runs exactly once.
  RowRunner::Cancel run(const std::string& key, Done done, const Start& start);

  /// Rows answered without a call of their own so far.
  std::uint64_t callsSaved() const;

 private:
  class Calls;
  std::shared_ptr<Calls> calls_;  // outlives the memo while calls are in flight
};

/// Runs `start` through `memo`, or directly when there is none.
RowRunner::Cancel shareCall(CallMemo* memo, const std::string& key, CallMemo::Done done,
                            const CallMemo::Start& start);

}  // namespace orvane::site::cli::batch
