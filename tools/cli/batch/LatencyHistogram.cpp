#include "LatencyHistogram.h"

#include <algorithm>
#include <cmath>

namespace orvane::site::cli::batch {
namespace {

constexpr double kFirstBoundNanos = 10'000;  // 10 us
constexpr double kGrowth = 1.05;

double upperBound(std::size_t bucket) {
  return kFirstBoundNanos * std::pow(kGrowth, static_cast<double>(bucket));
}

}  // namespace

void LatencyHistogram::add(std::chrono::nanoseconds latency) {
  const double nanos = std::max(1.0, static_cast<double>(latency.count()));
  double index = std::ceil(std::log(nanos / kFirstBoundNanos) / std::log(kGrowth));
  index = std::clamp(index, 0.0, static_cast<double>(kBuckets - 1));
  ++buckets_[static_cast<std::size_t>(index)];
  ++count_;
}

std::chrono::nanoseconds LatencyHistogram::percentile(double fraction) const {
  if (count_ == 0) return std::chrono::nanoseconds(0);
  const auto rank = static_cast<std::uint64_t>(
      std::ceil(std::clamp(fraction, 0.0, 1.0) * static_cast<double>(count_)));
  std::uint64_t seen = 0;
  for (std::size_t bucket = 0; bucket < kBuckets; ++bucket) {
    seen += buckets_[bucket];
    if (seen >= std::max<std::uint64_t>(rank, 1)) {
      return std::chrono::nanoseconds(static_cast<std::int64_t>(upperBound(bucket)));
    }
  }
  return std::chrono::nanoseconds(static_cast<std::int64_t>(upperBound(kBuckets - 1)));
}

}  // namespace orvane::site::cli::batch
