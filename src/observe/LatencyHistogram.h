#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>

namespace orvane::site::observe {

/// Counts durations into fixed buckets with relaxed atomics: cheap to record from any thread,
/// readable at any time.
class LatencyHistogram {
 public:
  /// Upper bounds of the finite buckets, in nanoseconds; a last bucket takes everything above.
  static constexpr std::array<std::int64_t, 15> kBounds = {
      1'000'000,     2'500'000,     5'000'000,      10'000'000,     25'000'000,
      50'000'000,    100'000'000,   250'000'000,    500'000'000,    1'000'000'000,
      2'500'000'000, 5'000'000'000, 10'000'000'000, 30'000'000'000, 60'000'000'000};
  /// The same bounds as Prometheus "le" labels (seconds).
  static constexpr std::array<const char*, 15> kBoundLabels = {
      "0.001", "0.0025", "0.005", "0.01", "0.025", "0.05", "0.1", "0.25",
      "0.5",   "1",      "2.5",   "5",    "10",    "30",   "60"};
  static constexpr std::size_t kBuckets = kBounds.size() + 1;

  /// A consistent-enough copy: counts per bucket (not cumulative) and the sum.
  struct Snapshot {
    std::array<std::uint64_t, kBuckets> counts{};
    std::uint64_t sumNanoseconds = 0;

    std::uint64_t total() const {
      std::uint64_t sum = 0;
      for (std::uint64_t count : counts) sum += count;
      return sum;
    }

    /// The estimated `q`-quantile (0 < q <= 1): linear within its bucket, the last finite bound
    /// when it falls in the open bucket, zero when nothing was recorded.
    std::chrono::nanoseconds quantile(double q) const {
      const std::uint64_t all = total();
      if (all == 0) return std::chrono::nanoseconds(0);
      const double rank = q * static_cast<double>(all);
      std::uint64_t below = 0;
      for (std::size_t i = 0; i < kBounds.size(); ++i) {
        if (static_cast<double>(below + counts[i]) >= rank && counts[i] > 0) {
          const double lower = i == 0 ? 0.0 : static_cast<double>(kBounds[i - 1]);
          const auto upper = static_cast<double>(kBounds[i]);
          const double share = (rank - static_cast<double>(below)) / static_cast<double>(counts[i]);
          return std::chrono::nanoseconds(
              static_cast<std::int64_t>(lower + (upper - lower) * share));
        }
        below += counts[i];
      }
      return std::chrono::nanoseconds(kBounds.back());
    }

    void add(const Snapshot& other) {
      for (std::size_t i = 0; i < kBuckets; ++i) counts[i] += other.counts[i];
      sumNanoseconds += other.sumNanoseconds;
    }
  };

  void record(std::chrono::nanoseconds duration) noexcept {
    const std::int64_t value = duration.count() < 0 ? 0 : duration.count();
    std::size_t bucket = 0;
    while (bucket < kBounds.size() && value > kBounds[bucket]) ++bucket;
    counts_[bucket].fetch_add(1, std::memory_order_relaxed);
    sum_.fetch_add(static_cast<std::uint64_t>(value), std::memory_order_relaxed);
  }

  Snapshot snapshot() const noexcept {
    Snapshot copy;
    for (std::size_t i = 0; i < kBuckets; ++i) {
      copy.counts[i] = counts_[i].load(std::memory_order_relaxed);
    }
    copy.sumNanoseconds = sum_.load(std::memory_order_relaxed);
    return copy;
  }

 private:
  std::array<std::atomic<std::uint64_t>, kBuckets> counts_{};
  std::atomic<std::uint64_t> sum_{0};
};

}  // namespace orvane::site::observe
