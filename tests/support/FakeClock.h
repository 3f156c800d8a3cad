#pragma once

#include <atomic>
#include <chrono>

namespace orvane::site::testkit {

/// A steady clock that moves only when a test advances it. Thread-safe.
class FakeClock {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  TimePoint now() const { return TimePoint(std::chrono::nanoseconds(ticks_.load())); }
  void advance(std::chrono::nanoseconds by) { ticks_ += by.count(); }
  /// A function reading this clock, for components that take one.
  auto reader() const {
    return [this] { return now(); };
  }

 private:
  // Starts a day in, so that arithmetic before the start stays positive.
  std::atomic<long long> ticks_{86'400'000'000'000LL};
};

}  // namespace orvane::site::testkit
