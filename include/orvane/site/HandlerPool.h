#pragma once

#include <chrono>
#include <cstddef>
#include <memory>

#include "orvane/site/Executor.h"
#include "orvane/site/Export.h"

namespace orvane::site {

/// A fixed set of threads that run completion handlers (or any task) in the order they were
/// handed over, so that a slow handler holds up neither the library thread nor other calls
/// beyond the pool's size.
///
/// Every task handed over runs exactly once, on one of the pool's threads, never inside the call
/// that hands it over. An exception a task throws is caught and logged at ERROR; the thread goes
/// on with the next task. The destructor runs every task still queued, then joins the threads.
/// A task handed over after the pool has been destroyed (through an Executor kept longer) still
/// runs exactly once, on a short-lived thread of its own. So does a task handed over in a child
/// process made by fork(), which has none of the pool's threads; there `drain` returns true at
/// once and the destructor waits for nothing.
///
/// All members are thread-safe.
class ORVANE_SITE_EXPORT HandlerPool {
 public:
  /// Starts `threads` threads named "orvane-handler". Throws std::invalid_argument when
  /// `threads` is zero, std::system_error when a thread cannot be started.
  explicit HandlerPool(std::size_t threads);

  /// Runs every queued task, then joins the threads. Called from a task of this very pool, it
  /// lets the pool's threads finish the queue and end on their own instead of joining them.
  ~HandlerPool();

  HandlerPool(const HandlerPool&) = delete;
  HandlerPool& operator=(const HandlerPool&) = delete;

  /// An Executor that hands tasks to this pool; it may be copied freely and outlive the pool.
  Executor executor() const;

  /// Queues `task` to run on a pool thread. Returns at once.
  void post(std::function<void()> task);

  /// Waits until no task is queued or running, at most `timeout`. Returns true when the pool is
  /// idle. Tasks may still be handed over meanwhile; they are waited for as well. Called from a
  /// task of this pool, it returns false at once (the pool cannot become idle while it waits).
  bool drain(std::chrono::nanoseconds timeout);

  /// The number of threads.
  std::size_t threadCount() const noexcept;

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace orvane::site
