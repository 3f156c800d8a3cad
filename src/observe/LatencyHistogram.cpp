#include "observe/LatencyHistogram.h"

#include <algorithm>
#include <limits>

namespace orvane::site::observe {

std::shared_ptr<const LatencyHistogram::Bounds> LatencyHistogram::defaultBounds() {
  static const auto bounds = std::make_shared<const Bounds>(
      Bounds{1'000'000, 2'500'000, 5'000'000, 10'000'000, 25'000'000, 50'000'000, 100'000'000,
             250'000'000, 500'000'000, 1'000'000'000, 2'500'000'000, 5'000'000'000, 10'000'000'000,
             30'000'000'000, 60'000'000'000});
  return bounds;
}

LatencyHistogram::LatencyHistogram(std::shared_ptr<const Bounds> bounds)
    : bounds_(std::move(bounds)),
      counts_(std::make_unique<std::atomic<std::uint64_t>[]>(bounds_->size() + 1)),
      smallest_(std::numeric_limits<std::int64_t>::max()) {}

void LatencyHistogram::record(std::chrono::nanoseconds duration) noexcept {
  const std::int64_t value = duration.count() < 0 ? 0 : duration.count();
  // The first bound at or above the value: buckets hold (previous bound, bound].
  const auto bucket = static_cast<std::size_t>(
      std::lower_bound(bounds_->begin(), bounds_->end(), value) - bounds_->begin());
  counts_[bucket].fetch_add(1, std::memory_order_relaxed);
  sum_.fetch_add(static_cast<std::uint64_t>(value), std::memory_order_relaxed);
  std::int64_t seen = smallest_.load(std::memory_order_relaxed);
  while (value < seen && !smallest_.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
  seen = largest_.load(std::memory_order_relaxed);
  while (value > seen && !largest_.compare_exchange_weak(seen, value, std::memory_order_relaxed)) {
  }
}

LatencyHistogram::Snapshot LatencyHistogram::snapshot() const {
  Snapshot copy;
  copy.bounds = bounds_;
  copy.counts.resize(bounds_->size() + 1);
  for (std::size_t i = 0; i < copy.counts.size(); ++i) {
    copy.counts[i] = counts_[i].load(std::memory_order_relaxed);
  }
  copy.sumNanoseconds = sum_.load(std::memory_order_relaxed);
  copy.largest = std::max<std::int64_t>(largest_.load(std::memory_order_relaxed), 0);
  copy.smallest = std::min(smallest_.load(std::memory_order_relaxed), copy.largest);
  return copy;
}

std::uint64_t LatencyHistogram::Snapshot::total() const {
  std::uint64_t sum = 0;
  for (std::uint64_t count : counts) sum += count;
  return sum;
}

std::chrono::nanoseconds LatencyHistogram::Snapshot::quantile(double q) const {
  const std::uint64_t all = total();
  if (all == 0) return std::chrono::nanoseconds(0);
  const double rank = q * static_cast<double>(all);
  std::uint64_t below = 0;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    const bool last = i + 1 == counts.size();
    if (counts[i] > 0 && (last || static_cast<double>(below + counts[i]) >= rank)) {
      // The open bucket ends at the largest duration seen, and every bucket's ends are
      // narrowed to what was seen: with every call near 1.0 s the estimate stays near 1.0 s.
      const double lower = std::max(i == 0 ? 0.0 : static_cast<double>((*bounds)[i - 1]),
                                    static_cast<double>(smallest));
      const double upper =
          std::min(last ? static_cast<double>(largest) : static_cast<double>((*bounds)[i]),
                   static_cast<double>(largest));
      const double share = std::clamp(
          (rank - static_cast<double>(below)) / static_cast<double>(counts[i]), 0.0, 1.0);
      return std::chrono::nanoseconds(
          static_cast<std::int64_t>(lower + (std::max(upper, lower) - lower) * share));
    }
    below += counts[i];
  }
  return std::chrono::nanoseconds(largest);
}

void LatencyHistogram::Snapshot::add(const Snapshot& other) {
  if (other.total() == 0) return;
  if (total() == 0) {
    *this = other;
    return;
  }
  for (std::size_t i = 0; i < counts.size() && i < other.counts.size(); ++i) {
    counts[i] += other.counts[i];
  }
  sumNanoseconds += other.sumNanoseconds;
  smallest = std::min(smallest, other.smallest);
  largest = std::max(largest, other.largest);
}

}  // namespace orvane::site::observe
