#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/CallObserver.h"
#include "orvane/site/RateLimiter.h"

namespace orvane::site::testkit {

using PermitClock = std::chrono::steady_clock;

/// The most permits whose use times fall into any window of `width` (times need not be sorted).
inline std::size_t mostInWindow(std::vector<PermitClock::time_point> times,
                                std::chrono::nanoseconds width) {
  std::sort(times.begin(), times.end());
  std::size_t most = 0;
  std::size_t first = 0;
  for (std::size_t last = 0; last < times.size(); ++last) {
    while (times[last] - times[first] >= width) ++first;
    most = std::max(most, last - first + 1);
  }
  return most;
}

/// Takes one permit and waits (at most `limit`) for its grant; returns when the permit may be
/// used, or nothing when no grant came in time.
inline std::optional<PermitClock::time_point> takePermit(
    RateLimiter& limiter, std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) {
  struct Slot {
    std::mutex mutex;
    std::condition_variable done;
    std::optional<PermitClock::time_point> useAt;
  };
  auto slot = std::make_shared<Slot>();
  limiter.acquire([slot](std::chrono::nanoseconds wait) {
    std::lock_guard<std::mutex> lock(slot->mutex);
    slot->useAt = PermitClock::now() + std::max(wait, std::chrono::nanoseconds::zero());
    slot->done.notify_all();
  });
  std::unique_lock<std::mutex> lock(slot->mutex);
  slot->done.wait_for(lock, limit, [&] { return slot->useAt.has_value(); });
  return slot->useAt;
}

/// Records the limiter changes it is told of.
class ChangeLog : public CallObserver {
 public:
  struct Change {
    std::string limiter;
    bool fallback = false;
    std::string reason;
  };

  void onLimiterChange(const LimiterChange& event) override {
    std::lock_guard<std::mutex> lock(mutex_);
    changes_.push_back({std::string(event.limiter), event.fallback, std::string(event.reason)});
    changed_.notify_all();
  }

  std::vector<Change> changes() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return changes_;
  }

  /// Waits until `count` changes were told; false when they were not within `limit`.
  bool waitForChanges(std::size_t count, std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, limit, [&] { return changes_.size() >= count; });
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<Change> changes_;
};

}  // namespace orvane::site::testkit
