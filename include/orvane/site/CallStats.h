#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site/CallObserver.h"
#include "orvane/site/Export.h"

namespace orvane::site {

/// A CallObserver that counts calls, attempts, outcomes and bytes per operation and keeps
/// histograms of call and attempt latency, for a metrics page (prometheusText) or a one-line
/// report (summary).
///
/// Latencies fall into buckets, from 1 ms to 60 s unless Options say otherwise; percentiles are
/// estimated from them by linear interpolation within a bucket whose ends are narrowed to the
/// smallest and largest latency seen, so an estimate never exceeds the largest value observed.
///
/// Constant labels (Options::labels, for example tenant="alpha") go on every sample, so that the
/// stats of several clients render as one exposition with prometheusText(all).
///
/// Thread-safe. Notifications cost a few relaxed atomic additions (a short lock only for a
/// failed call's error kind, an unexpected operation name or a limiter change), so it may be
/// told of calls on the library thread. Reading is safe at any time, while calls go on.
class ORVANE_SITE_EXPORT CallStats : public CallObserver {
 public:
  /// What has been counted for one operation so far.
  struct OperationSummary {
    /// The operation's name, as in the events ("textSearch", ...).
    std::string operation;
    /// Calls accepted.
    std::uint64_t callsStarted = 0;
    /// Calls that ended without an error.
    std::uint64_t callsSucceeded = 0;
    /// Calls that ended with an error.
    std::uint64_t callsFailed = 0;
    /// Attempts (HTTP exchanges) ended, retries included.
    std::uint64_t attempts = 0;
    /// Of `attempts`, those that went over HTTP/1.1.
    std::uint64_t http1Attempts = 0;
    /// Of `attempts`, those that went over HTTP/2.
    std::uint64_t http2Attempts = 0;
    /// Bytes sent by all attempts.
    std::uint64_t bytesSent = 0;
    /// Bytes received by all attempts.
    std::uint64_t bytesReceived = 0;
    /// Calls answered from the response cache, without a request.
    std::uint64_t cacheHits = 0;
    /// Calls that found nothing kept and sent a request.
    std::uint64_t cacheMisses = 0;
    /// Calls that shared the request of an identical call under way.
    std::uint64_t cacheCoalesced = 0;
    /// Entries of the operation evicted to make room.
    std::uint64_t cacheEvictions = 0;
    /// Estimated median of the duration of ended calls; zero before the first call ends.
    std::chrono::nanoseconds p50{0};
    /// Estimated 90th percentile of the duration of ended calls.
    std::chrono::nanoseconds p90{0};
    /// Estimated 99th percentile of the duration of ended calls.
    std::chrono::nanoseconds p99{0};
  };

  /// Labels and buckets, fixed for the stats' life.
  struct Options {
    /// Constant labels put first on every sample, in this order. Names follow Prometheus
    /// rules ([a-zA-Z_][a-zA-Z0-9_]*, not starting with "__") and differ from one another and
    /// from the labels the stats write themselves (operation, outcome, domain, code, status,
    /// failure, limiter, fallback, le, protocol). Values are any text; they are escaped.
    std::vector<std::pair<std::string, std::string>> labels;
    /// Upper bounds of the latency buckets, positive and strictly increasing; empty means the
    /// default, 1 ms to 60 s.
    std::vector<std::chrono::nanoseconds> buckets;
  };

  /// Starts with every count at zero, no constant labels and the default buckets.
  CallStats();
  /// Starts with every count at zero. Throws std::invalid_argument, naming the fault, for a
  /// label or bucket list the rules above refuse.
  explicit CallStats(Options options);
  ~CallStats() override;
  CallStats(const CallStats&) = delete;
  CallStats& operator=(const CallStats&) = delete;

  /// Counts a started call.
  void onCallStart(const CallStart& event) override;
  /// Counts an attempt by HTTP status or failure, its bytes, waits and latency.
  void onAttempt(const Attempt& event) override;
  /// Counts an ended call by outcome (error domain and code) and records its latency.
  void onCallEnd(const CallEnd& event) override;
  /// Counts a limiter's change and remembers whether it now decides alone.
  void onLimiterChange(const LimiterChange& event) override;
  /// Counts a response-cache hit, miss, coalesced call or eviction.
  void onCacheEvent(const CacheEvent& event) override;

  /// Every metric in the Prometheus text exposition format (version 0.0.4), for a metrics page:
  /// orvane_site_calls_started_total, orvane_site_calls_total (by outcome, error domain and
  /// code), orvane_site_attempts_total (by HTTP status or failure code),
  /// orvane_site_attempt_protocols_total (by HTTP version: "HTTP/1.1", "HTTP/2", "other"),
  /// orvane_site_call_duration_seconds and orvane_site_attempt_duration_seconds (histograms),
  /// orvane_site_sent_bytes_total, orvane_site_received_bytes_total,
  /// orvane_site_queue_wait_seconds_total, orvane_site_limiter_wait_seconds_total,
  /// orvane_site_cache_events_total (by event: hit, miss, coalesced, eviction; only for
  /// operations that met a response cache), orvane_site_limiter_changes_total and
  /// orvane_site_limiter_fallback. All but the limiter metrics carry the label "operation".
  std::string prometheusText() const;

  /// The metrics of several stats as one exposition: each family's HELP and TYPE once, then
  /// the samples of each stats in the order given (null entries are skipped). Throws
  /// std::invalid_argument when two of them carry the same constant labels, whose samples
  /// would be indistinguishable.
  static std::string prometheusText(const std::vector<const CallStats*>& all);

  /// One line over all operations, for example
  /// "calls 120 (ok 118, failed 2) attempts 125 p50 12.3 ms p90 40.1 ms p99 230 ms sent 12.0 KiB
  /// received 1.2 MiB".
  std::string summary() const;

  /// The counts of each operation seen so far, in a fixed order.
  std::vector<OperationSummary> operations() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace orvane::site
