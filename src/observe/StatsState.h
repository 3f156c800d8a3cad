#pragma once

#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "observe/LatencyHistogram.h"

namespace orvane::site::observe {

inline constexpr std::array<std::string_view, 8> kOperations = {
    "textSearch",        "nearbySearch", "detailSearch",   "querySuggestion",
    "queryAutocomplete", "geocode",      "reverseGeocode", "timezone"};

// HTTP statuses are counted in place from 100 to 599; failure codes below 64.
inline constexpr std::size_t kStatuses = 600;
inline constexpr std::size_t kFailures = 64;
// Cache events by kind, named as in the metrics.
inline constexpr std::array<std::string_view, 4> kCacheEventNames = {"hit", "miss", "coalesced",
                                                                     "eviction"};
inline constexpr std::size_t kCacheEvents = kCacheEventNames.size();
// Attempts are counted by the HTTP version they used; the last: any other.
inline constexpr std::array<std::string_view, 3> kProtocols = {"HTTP/1.1", "HTTP/2", "other"};

using Counter = std::atomic<std::uint64_t>;
using ConstantLabels = std::vector<std::pair<std::string, std::string>>;

inline std::uint64_t read(const Counter& counter) noexcept {
  return counter.load(std::memory_order_relaxed);
}

// Everything counted for one operation.
struct Slot {
  Slot(std::string_view operation, const std::shared_ptr<const LatencyHistogram::Bounds>& bounds)
      : name(operation), callLatency(bounds), attemptLatency(bounds) {}

  std::string name;
  Counter started{0};
  Counter succeeded{0};
  Counter attempts{0};
  Counter bytesSent{0};
  Counter bytesReceived{0};
  Counter queueWait{0};                             // nanoseconds
  Counter limiterWait{0};                           // nanoseconds
  std::array<Counter, kCacheEvents> cacheEvents{};  // by CallObserver::CacheEvent::Kind
  std::array<Counter, kStatuses> statuses{};        // by HTTP status; 0: out of range
  std::array<Counter, kFailures> failures{};        // by failure code; the last: out of range
  // By kProtocols; an attempt whose transport did not say is in none.
  std::array<Counter, kProtocols.size()> protocols{};
  LatencyHistogram callLatency;
  LatencyHistogram attemptLatency;

  // Failed calls by error domain and code: a short lock on a failure only.
  mutable std::mutex errorsMutex;
  std::map<std::pair<std::string, std::int64_t>, std::uint64_t> errors;

  std::uint64_t failed() const;
  bool seen() const {
    return read(started) > 0 || read(attempts) > 0 || callLatency.recorded() || cacheSeen();
  }
  bool cacheSeen() const {
    return std::any_of(cacheEvents.begin(), cacheEvents.end(),
                       [](const Counter& count) { return read(count) > 0; });
  }
};

struct LimiterState {
  std::uint64_t toFallback = 0;
  std::uint64_t toNormal = 0;
  bool fallback = false;
};

/// What one CallStats holds: its constant labels, its buckets and a slot per operation.
class StatsState {
 public:
  /// Throws std::invalid_argument for labels or bounds that CallStats::Options refuses.
  StatsState(ConstantLabels labels, const std::vector<std::chrono::nanoseconds>& buckets);

  Slot& slot(std::string_view operation);
  /// The operations seen so far: the known ones in their order, then the others by name.
  std::vector<const Slot*> seenSlots() const;

  const ConstantLabels& labels() const { return labels_; }

  void limiterChanged(std::string_view limiter, bool fallback);
  /// A copy of every limiter's state, by name.
  std::map<std::string, LimiterState, std::less<>> limiters() const;

 private:
  mutable std::mutex limitersMutex_;
  std::map<std::string, LimiterState, std::less<>> limiters_;
  ConstantLabels labels_;
  std::shared_ptr<const LatencyHistogram::Bounds> bounds_;
  std::array<std::unique_ptr<Slot>, kOperations.size()> known_;
  mutable std::mutex othersMutex_;
  std::map<std::string, std::unique_ptr<Slot>, std::less<>> others_;
};

/// The Prometheus text of several stats: each family once, then each stats' samples.
std::string exposition(const std::vector<const StatsState*>& all);

}  // namespace orvane::site::observe
