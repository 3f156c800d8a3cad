#include "orvane/site/CallStats.h"

#include <cstdio>
#include <mutex>
#include <string_view>
#include <utility>

#include "observe/LatencyHistogram.h"
#include "observe/StatsState.h"

namespace orvane::site {
namespace {

using observe::Counter;
using observe::kFailures;
using observe::kStatuses;
using observe::LatencyHistogram;
using observe::read;
using observe::Slot;

void bump(Counter& counter, std::uint64_t by = 1) noexcept {
  counter.fetch_add(by, std::memory_order_relaxed);
}

std::uint64_t nonNegative(std::chrono::nanoseconds duration) noexcept {
  return duration.count() < 0 ? 0 : static_cast<std::uint64_t>(duration.count());
}

std::string formatDuration(std::chrono::nanoseconds duration) {
  char text[32];
  const double ms = static_cast<double>(duration.count()) / 1e6;
  if (ms >= 1000.0) {
    (void)std::snprintf(text, sizeof text, "%.2f s", ms / 1000.0);
  } else {
    (void)std::snprintf(text, sizeof text, "%.1f ms", ms);
  }
  return text;
}

std::string formatBytes(std::uint64_t bytes) {
  char text[32];
  const auto value = static_cast<double>(bytes);
  if (bytes < 1024) {
    (void)std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
  } else if (value < 1024.0 * 1024.0) {
    (void)std::snprintf(text, sizeof text, "%.1f KiB", value / 1024.0);
  } else if (value < 1024.0 * 1024.0 * 1024.0) {
    (void)std::snprintf(text, sizeof text, "%.1f MiB", value / (1024.0 * 1024.0));
  } else {
    (void)std::snprintf(text, sizeof text, "%.1f GiB", value / (1024.0 * 1024.0 * 1024.0));
  }
  return text;
}

}  // namespace

struct CallStats::Impl : observe::StatsState {
  using StatsState::StatsState;
};

CallStats::CallStats() : CallStats(Options()) {}

CallStats::CallStats(Options options)
    : impl_(std::make_unique<Impl>(std::move(options.labels), options.buckets)) {}

CallStats::~CallStats() = default;

void CallStats::onCallStart(const CallStart& event) { bump(impl_->slot(event.operation).started); }

void CallStats::onAttempt(const Attempt& event) {
  Slot& slot = impl_->slot(event.operation);
  bump(slot.attempts);
  if (event.failure) {
    const std::int64_t code = *event.failure;
    const std::size_t index = code >= 0 && code < static_cast<std::int64_t>(kFailures) - 1
                                  ? static_cast<std::size_t>(code)
                                  : kFailures - 1;
    bump(slot.failures[index]);
  } else {
    const long status = event.statusCode;
    bump(slot.statuses[status >= 100 && status < static_cast<long>(kStatuses)
                           ? static_cast<std::size_t>(status)
                           : 0]);
  }
  if (!event.protocol.empty()) {
    std::size_t index = 0;
    while (index + 1 < observe::kProtocols.size() && observe::kProtocols[index] != event.protocol) {
      ++index;
    }
    bump(slot.protocols[index]);
  }
  bump(slot.bytesSent, event.bytesSent);
  bump(slot.bytesReceived, event.bytesReceived);
  bump(slot.queueWait, nonNegative(event.queueWait));
  bump(slot.limiterWait, nonNegative(event.limiterWait));
  slot.attemptLatency.record(event.duration);
}

void CallStats::onCallEnd(const CallEnd& event) {
  Slot& slot = impl_->slot(event.operation);
  slot.callLatency.record(event.duration);
  if (!event.error) {
    bump(slot.succeeded);
    return;
  }
  std::lock_guard<std::mutex> lock(slot.errorsMutex);
  ++slot.errors[{event.error->domain, event.error->code}];
}

void CallStats::onLimiterChange(const LimiterChange& event) {
  impl_->limiterChanged(event.limiter, event.fallback);
}

void CallStats::onCacheEvent(const CacheEvent& event) {
  const auto kind = static_cast<std::size_t>(event.kind);
  if (kind < observe::kCacheEvents) bump(impl_->slot(event.operation).cacheEvents[kind]);
}

std::vector<CallStats::OperationSummary> CallStats::operations() const {
  std::vector<OperationSummary> result;
  for (const Slot* slot : impl_->seenSlots()) {
    OperationSummary summary;
    summary.operation = slot->name;
    summary.callsStarted = read(slot->started);
    summary.callsSucceeded = read(slot->succeeded);
    summary.callsFailed = slot->failed();
    summary.attempts = read(slot->attempts);
    summary.http1Attempts = read(slot->protocols[0]);
    summary.http2Attempts = read(slot->protocols[1]);
    summary.bytesSent = read(slot->bytesSent);
    summary.bytesReceived = read(slot->bytesReceived);
    summary.cacheHits = read(slot->cacheEvents[0]);
    summary.cacheMisses = read(slot->cacheEvents[1]);
    summary.cacheCoalesced = read(slot->cacheEvents[2]);
    summary.cacheEvictions = read(slot->cacheEvents[3]);
    const LatencyHistogram::Snapshot latency = slot->callLatency.snapshot();
    summary.p50 = latency.quantile(0.50);
    summary.p90 = latency.quantile(0.90);
    summary.p99 = latency.quantile(0.99);
    result.push_back(std::move(summary));
  }
  return result;
}

std::string CallStats::summary() const {
  std::uint64_t calls = 0;
  std::uint64_t ok = 0;
  std::uint64_t failed = 0;
  std::uint64_t attempts = 0;
  std::uint64_t sent = 0;
  std::uint64_t received = 0;
  LatencyHistogram::Snapshot latency =
      LatencyHistogram(LatencyHistogram::defaultBounds()).snapshot();
  for (const Slot* slot : impl_->seenSlots()) {
    calls += read(slot->started);
    ok += read(slot->succeeded);
    failed += slot->failed();
    attempts += read(slot->attempts);
    sent += read(slot->bytesSent);
    received += read(slot->bytesReceived);
    latency.add(slot->callLatency.snapshot());
  }
  return "calls " + std::to_string(calls) + " (ok " + std::to_string(ok) + ", failed " +
         std::to_string(failed) + ") attempts " + std::to_string(attempts) + " p50 " +
         formatDuration(latency.quantile(0.50)) + " p90 " + formatDuration(latency.quantile(0.90)) +
         " p99 " + formatDuration(latency.quantile(0.99)) + " sent " + formatBytes(sent) +
         " received " + formatBytes(received);
}

std::string CallStats::prometheusText() const { return observe::exposition({impl_.get()}); }

std::string CallStats::prometheusText(const std::vector<const CallStats*>& all) {
  std::vector<const observe::StatsState*> states;
  states.reserve(all.size());
  for (const CallStats* stats : all) states.push_back(stats ? stats->impl_.get() : nullptr);
  return observe::exposition(states);
}

}  // namespace orvane::site
