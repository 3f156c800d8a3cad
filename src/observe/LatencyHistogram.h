#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace orvane::site::observe {

/// Counts durations into buckets with relaxed atomics: cheap to record from any thread,
/// readable at any time. It also keeps the smallest and largest duration recorded, so that an
/// estimate never leaves the range of what was seen.
class LatencyHistogram {
 public:
  /// Upper bounds of the finite buckets, in nanoseconds, strictly increasing; a last bucket
  /// takes everything above.
  using Bounds = std::vector<std::int64_t>;

  /// The default bounds: 1 ms to 60 s.
  static std::shared_ptr<const Bounds> defaultBounds();

  explicit LatencyHistogram(std::shared_ptr<const Bounds> bounds);

  /// A consistent-enough copy: counts per bucket (not cumulative), the sum and the extremes.
  struct Snapshot {
    std::shared_ptr<const Bounds> bounds;
    std::vector<std::uint64_t> counts;  // bounds->size() + 1
    std::uint64_t sumNanoseconds = 0;
    std::int64_t smallest = 0;
    std::int64_t largest = 0;

    std::uint64_t total() const;
    /// The estimated `q`-quantile (0 < q <= 1): linear within its bucket, whose ends are
    /// narrowed to the smallest and largest duration seen; zero when nothing was recorded.
    std::chrono::nanoseconds quantile(double q) const;
    /// Adds another snapshot of the same bounds.
    void add(const Snapshot& other);
  };

  void record(std::chrono::nanoseconds duration) noexcept;
  Snapshot snapshot() const;
  /// Whether anything was recorded.
  bool recorded() const noexcept { return largest_.load(std::memory_order_relaxed) >= 0; }

 private:
  std::shared_ptr<const Bounds> bounds_;
  std::unique_ptr<std::atomic<std::uint64_t>[]> counts_;
  std::atomic<std::uint64_t> sum_{0};
  std::atomic<std::int64_t> smallest_;
  std::atomic<std::int64_t> largest_{-1};
};

}  // namespace orvane::site::observe
