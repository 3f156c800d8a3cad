#include "orvane/site/CallStats.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <string_view>
#include <utility>

#include "observe/LatencyHistogram.h"
#include "observe/PrometheusText.h"

namespace orvane::site {
namespace {

using observe::LatencyHistogram;
using observe::PrometheusText;

constexpr std::array<std::string_view, 8> kOperations = {
    "textSearch",        "nearbySearch", "detailSearch",   "querySuggestion",
    "queryAutocomplete", "geocode",      "reverseGeocode", "timezone"};

// HTTP statuses are counted in place from 100 to 599; failure codes below 64.
constexpr std::size_t kStatuses = 600;
constexpr std::size_t kFailures = 64;

using Counter = std::atomic<std::uint64_t>;

void bump(Counter& counter, std::uint64_t by = 1) noexcept {
  counter.fetch_add(by, std::memory_order_relaxed);
}

std::uint64_t read(const Counter& counter) noexcept {
  return counter.load(std::memory_order_relaxed);
}

std::uint64_t nonNegative(std::chrono::nanoseconds duration) noexcept {
  return duration.count() < 0 ? 0 : static_cast<std::uint64_t>(duration.count());
}

double seconds(std::uint64_t nanoseconds) { return static_cast<double>(nanoseconds) / 1e9; }

// Everything counted for one operation.
struct Slot {
  explicit Slot(std::string_view operation) : name(operation) {}

  std::string name;
  Counter started{0};
  Counter succeeded{0};
  Counter attempts{0};
  Counter bytesSent{0};
  Counter bytesReceived{0};
  Counter queueWait{0};                       // nanoseconds
  Counter limiterWait{0};                     // nanoseconds
  std::array<Counter, kStatuses> statuses{};  // by HTTP status; 0: out of range
  std::array<Counter, kFailures> failures{};  // by failure code; the last: out of range
  LatencyHistogram callLatency;
  LatencyHistogram attemptLatency;

  // Failed calls by error domain and code: a short lock on a failure only.
  mutable std::mutex errorsMutex;
  std::map<std::pair<std::string, std::int64_t>, std::uint64_t> errors;

  std::uint64_t failed() const {
    std::lock_guard<std::mutex> lock(errorsMutex);
    std::uint64_t sum = 0;
    for (const auto& entry : errors) sum += entry.second;
    return sum;
  }
  bool seen() const {
    return read(started) > 0 || read(attempts) > 0 || callLatency.snapshot().total() > 0;
  }
};

struct LimiterState {
  std::uint64_t toFallback = 0;
  std::uint64_t toNormal = 0;
  bool fallback = false;
};

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

struct CallStats::Impl {
  Impl() {
    for (std::size_t i = 0; i < kOperations.size(); ++i) {
      known[i] = std::make_unique<Slot>(kOperations[i]);
    }
  }

  Slot& slot(std::string_view operation) {
    for (std::size_t i = 0; i < kOperations.size(); ++i) {
      if (kOperations[i] == operation) return *known[i];
    }
    std::lock_guard<std::mutex> lock(othersMutex);
    auto found = others.find(operation);
    if (found == others.end()) {
      found = others.emplace(std::string(operation), std::make_unique<Slot>(operation)).first;
    }
    return *found->second;
  }

  // The operations seen so far: the known ones in their order, then the others by name.
  std::vector<const Slot*> seenSlots() const {
    std::vector<const Slot*> slots;
    for (const auto& slot : known) {
      if (slot->seen()) slots.push_back(slot.get());
    }
    std::lock_guard<std::mutex> lock(othersMutex);
    for (const auto& entry : others) slots.push_back(entry.second.get());
    return slots;
  }

  std::array<std::unique_ptr<Slot>, kOperations.size()> known;
  mutable std::mutex othersMutex;
  std::map<std::string, std::unique_ptr<Slot>, std::less<>> others;

  mutable std::mutex limitersMutex;
  std::map<std::string, LimiterState, std::less<>> limiters;
};

CallStats::CallStats() : impl_(std::make_unique<Impl>()) {}

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
  std::lock_guard<std::mutex> lock(impl_->limitersMutex);
  auto found = impl_->limiters.find(event.limiter);
  if (found == impl_->limiters.end()) {
    found = impl_->limiters.emplace(std::string(event.limiter), LimiterState()).first;
  }
  LimiterState& state = found->second;
  ++(event.fallback ? state.toFallback : state.toNormal);
  state.fallback = event.fallback;
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
    summary.bytesSent = read(slot->bytesSent);
    summary.bytesReceived = read(slot->bytesReceived);
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
  LatencyHistogram::Snapshot latency;
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

namespace {

void writeHistogram(PrometheusText& out, std::string_view name, std::string_view operation,
                    const LatencyHistogram::Snapshot& latency) {
  const std::string bucket = std::string(name) + "_bucket";
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i < LatencyHistogram::kBounds.size(); ++i) {
    cumulative += latency.counts[i];
    out.sample(bucket, {{"operation", operation}}, "le", LatencyHistogram::kBoundLabels[i],
               cumulative);
  }
  cumulative += latency.counts.back();
  out.sample(bucket, {{"operation", operation}}, "le", "+Inf", cumulative);
  out.sample(std::string(name) + "_sum", {{"operation", operation}},
             seconds(latency.sumNanoseconds));
  out.sample(std::string(name) + "_count", {{"operation", operation}}, cumulative);
}

}  // namespace

std::string CallStats::prometheusText() const {
  const std::vector<const Slot*> slots = impl_->seenSlots();
  PrometheusText out;

  out.family("orvane_site_calls_started_total", "counter", "Calls accepted.");
  for (const Slot* slot : slots) {
    out.sample("orvane_site_calls_started_total", {{"operation", slot->name}}, read(slot->started));
  }

  out.family("orvane_site_calls_total", "counter",
             "Calls ended, by outcome; failed calls by the domain and code of their error.");
  for (const Slot* slot : slots) {
    out.sample("orvane_site_calls_total",
               {{"operation", slot->name}, {"outcome", "success"}, {"domain", ""}, {"code", ""}},
               read(slot->succeeded));
    std::lock_guard<std::mutex> lock(slot->errorsMutex);
    for (const auto& [kind, count] : slot->errors) {
      const std::string code = std::to_string(kind.second);
      out.sample(
          "orvane_site_calls_total",
          {{"operation", slot->name}, {"outcome", "error"}, {"domain", kind.first}, {"code", code}},
          count);
    }
  }

  out.family("orvane_site_attempts_total", "counter",
             "Attempts ended, by HTTP status, or by failure code when no reply arrived "
             "(status \"0\"; failure \"other\" beyond the known codes).");
  for (const Slot* slot : slots) {
    for (std::size_t status = 0; status < kStatuses; ++status) {
      const std::uint64_t count = read(slot->statuses[status]);
      if (count == 0) continue;
      const std::string text = status == 0 ? "other" : std::to_string(status);
      out.sample("orvane_site_attempts_total",
                 {{"operation", slot->name}, {"status", text}, {"failure", ""}}, count);
    }
    for (std::size_t code = 0; code < kFailures; ++code) {
      const std::uint64_t count = read(slot->failures[code]);
      if (count == 0) continue;
      const std::string text = code == kFailures - 1 ? "other" : std::to_string(code);
      out.sample("orvane_site_attempts_total",
                 {{"operation", slot->name}, {"status", "0"}, {"failure", text}}, count);
    }
  }

  out.family("orvane_site_call_duration_seconds", "histogram",
             "Time from a call's start to its end.");
  for (const Slot* slot : slots) {
    writeHistogram(out, "orvane_site_call_duration_seconds", slot->name,
                   slot->callLatency.snapshot());
  }
  out.family("orvane_site_attempt_duration_seconds", "histogram",
             "Time of one HTTP exchange, from its hand-over to the transport to its end.");
  for (const Slot* slot : slots) {
    writeHistogram(out, "orvane_site_attempt_duration_seconds", slot->name,
                   slot->attemptLatency.snapshot());
  }

  const struct {
    const char* name;
    const char* help;
    Counter Slot::*counter;
    bool inSeconds;
  } totals[] = {
      {"orvane_site_sent_bytes_total", "Bytes sent by attempts.", &Slot::bytesSent, false},
      {"orvane_site_received_bytes_total", "Bytes received by attempts.", &Slot::bytesReceived,
       false},
      {"orvane_site_queue_wait_seconds_total",
       "Time attempts waited for a slot before they went out.", &Slot::queueWait, true},
      {"orvane_site_limiter_wait_seconds_total",
       "Time attempts waited for the rate limiter's permit.", &Slot::limiterWait, true},
  };
  for (const auto& total : totals) {
    out.family(total.name, "counter", total.help);
    for (const Slot* slot : slots) {
      const std::uint64_t value = read(slot->*total.counter);
      if (total.inSeconds) {
        out.sample(total.name, {{"operation", slot->name}}, seconds(value));
      } else {
        out.sample(total.name, {{"operation", slot->name}}, value);
      }
    }
  }

  std::lock_guard<std::mutex> lock(impl_->limitersMutex);
  out.family("orvane_site_limiter_changes_total", "counter",
             "Times a rate limiter began deciding alone (fallback \"true\") or went back.");
  for (const auto& [name, state] : impl_->limiters) {
    out.sample("orvane_site_limiter_changes_total", {{"limiter", name}, {"fallback", "true"}},
               state.toFallback);
    out.sample("orvane_site_limiter_changes_total", {{"limiter", name}, {"fallback", "false"}},
               state.toNormal);
  }
  out.family("orvane_site_limiter_fallback", "gauge",
             "1 while a rate limiter decides alone, else 0.");
  for (const auto& [name, state] : impl_->limiters) {
    out.sample("orvane_site_limiter_fallback", {{"limiter", name}},
               static_cast<std::uint64_t>(state.fallback ? 1 : 0));
  }
  return out.take();
}

}  // namespace orvane::site
