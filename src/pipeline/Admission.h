#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

namespace orvane::site::internal {

/// The admission stage of one client: at most `maxInFlight` calls under way (0: no bound),
/// later ones waiting in order, at most `maxQueued` of them. Thread-safe.
class Admission {
 public:
  /// A call that may wait for a place.
  class Waiter {
   public:
    virtual ~Waiter() = default;
    /// Takes the place handed over and starts; false when the call ended meanwhile (the place
    /// then goes to the next one).
    virtual bool takePlace() = 0;
  };

  enum class Answer { granted, queued, full };

  Admission(std::size_t maxInFlight, std::size_t maxQueued)
      : maxInFlight_(maxInFlight), maxQueued_(maxQueued) {}

  /// Gives `waiter` a place, or queues it (it is started by `release` later), or refuses it.
  Answer admit(const std::shared_ptr<Waiter>& waiter);
  /// Hands the place of a call that ended to the oldest waiting call still alive.
  void release();
  /// Forgets a waiting call that ended before it got a place.
  void forget(const Waiter* waiter);

  std::size_t maxQueued() const noexcept { return maxQueued_; }

 private:
  const std::size_t maxInFlight_;
  const std::size_t maxQueued_;
  std::mutex mutex_;
  std::size_t inFlight_ = 0;
  std::deque<std::shared_ptr<Waiter>> waiting_;
};

}  // namespace orvane::site::internal
