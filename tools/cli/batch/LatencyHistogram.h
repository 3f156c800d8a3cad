#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace orvane::site::cli::batch {

/// Call latencies in logarithmic buckets (about 5 % wide, 10 us to 10 min): percentiles
/// within a bucket's width in constant memory, however many calls a job makes.
class LatencyHistogram {
 public:
  void add(std::chrono::nanoseconds latency);
  /// The latency below which `fraction` (0..1) of the calls fell; zero without calls.
  std::chrono::nanoseconds percentile(double fraction) const;
  std::uint64_t count() const { return count_; }

 private:
  static constexpr std::size_t kBuckets = 400;
  std::array<std::uint64_t, kBuckets> buckets_{};
  std::uint64_t count_ = 0;
};

}  // namespace orvane::site::cli::batch
