#include <cstdio>
#include <stdexcept>
#include <string>
#include <string_view>

#include "observe/PrometheusText.h"
#include "observe/StatsState.h"

namespace orvane::site::observe {
namespace {

double seconds(std::uint64_t nanoseconds) { return static_cast<double>(nanoseconds) / 1e9; }

// A bucket's upper bound as an "le" label, in seconds: "0.0025", "1", "60".
std::string boundLabel(std::int64_t nanoseconds) {
  char text[32];
  (void)std::snprintf(text, sizeof text, "%.9g", static_cast<double>(nanoseconds) / 1e9);
  return text;
}

void writeHistogram(PrometheusText& out, std::string_view name, std::string_view operation,
                    const LatencyHistogram::Snapshot& latency) {
  const std::string bucket = std::string(name) + "_bucket";
  std::uint64_t cumulative = 0;
  for (std::size_t i = 0; i < latency.bounds->size(); ++i) {
    cumulative += latency.counts[i];
    out.sample(bucket, {{"operation", operation}}, "le", boundLabel((*latency.bounds)[i]),
               cumulative);
  }
  cumulative += latency.counts.back();
  out.sample(bucket, {{"operation", operation}}, "le", "+Inf", cumulative);
  out.sample(std::string(name) + "_sum", {{"operation", operation}},
             seconds(latency.sumNanoseconds));
  out.sample(std::string(name) + "_count", {{"operation", operation}}, cumulative);
}

std::string labelsText(const ConstantLabels& labels) {
  std::string text;
  for (const auto& [name, value] : labels)
    text.append(name).append("=\"").append(value).append("\" ");
  return text.empty() ? "no labels" : text;
}

}  // namespace

std::string exposition(const std::vector<const StatsState*>& all) {
  std::vector<const StatsState*> states;
  for (const StatsState* state : all) {
    if (!state) continue;
    for (const StatsState* earlier : states) {
      if (earlier->labels() == state->labels()) {
        throw std::invalid_argument("CallStats: two stats with the same constant labels (" +
                                    labelsText(state->labels()) + ") in one exposition");
      }
    }
    states.push_back(state);
  }
  std::vector<std::vector<const Slot*>> slotsOf;
  slotsOf.reserve(states.size());
  for (const StatsState* state : states) slotsOf.push_back(state->seenSlots());

  PrometheusText out;
  // Every family's samples, stats by stats, each with its own constant labels.
  auto each = [&](const auto& write) {
    for (std::size_t i = 0; i < states.size(); ++i) {
      out.constantLabels(states[i]->labels());
      write(slotsOf[i]);
    }
    out.constantLabels({});
  };
  auto eachLimiter = [&](const auto& write) {
    for (const StatsState* state : states) {
      out.constantLabels(state->labels());
      for (const auto& [name, limiter] : state->limiters()) write(name, limiter);
    }
    out.constantLabels({});
  };

  out.family("orvane_site_calls_started_total", "counter", "Calls accepted.");
  each([&](const std::vector<const Slot*>& slots) {
    for (const Slot* slot : slots) {
      out.sample("orvane_site_calls_started_total", {{"operation", slot->name}},
                 read(slot->started));
    }
  });

  out.family("orvane_site_calls_total", "counter",
             "Calls ended, by outcome; failed calls by the domain and code of their error.");
  each([&](const std::vector<const Slot*>& slots) {
    for (const Slot* slot : slots) {
      out.sample("orvane_site_calls_total",
                 {{"operation", slot->name}, {"outcome", "success"}, {"domain", ""}, {"code", ""}},
                 read(slot->succeeded));
      std::lock_guard<std::mutex> lock(slot->errorsMutex);
      for (const auto& [kind, count] : slot->errors) {
        const std::string code = std::to_string(kind.second);
        out.sample("orvane_site_calls_total",
                   {{"operation", slot->name},
                    {"outcome", "error"},
                    {"domain", kind.first},
                    {"code", code}},
                   count);
      }
    }
  });

  out.family("orvane_site_attempts_total", "counter",
             "Attempts ended, by HTTP status, or by failure code when no reply arrived "
             "(status \"0\"; failure \"other\" beyond the known codes).");
  each([&](const std::vector<const Slot*>& slots) {
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
  });

  out.family("orvane_site_attempt_protocols_total", "counter",
             "Attempts that exchanged HTTP, by the HTTP version they used.");
  each([&](const std::vector<const Slot*>& slots) {
    for (const Slot* slot : slots) {
      for (std::size_t index = 0; index < kProtocols.size(); ++index) {
        const std::uint64_t count = read(slot->protocols[index]);
        if (count == 0) continue;
        out.sample("orvane_site_attempt_protocols_total",
                   {{"operation", slot->name}, {"protocol", std::string(kProtocols[index])}},
                   count);
      }
    }
  });

  out.family("orvane_site_call_duration_seconds", "histogram",
             "Time from a call's start to its end.");
  each([&](const std::vector<const Slot*>& slots) {
    for (const Slot* slot : slots) {
      writeHistogram(out, "orvane_site_call_duration_seconds", slot->name,
                     slot->callLatency.snapshot());
    }
  });
  out.family("orvane_site_attempt_duration_seconds", "histogram",
             "Time of one HTTP exchange, from its hand-over to the transport to its end.");
  each([&](const std::vector<const Slot*>& slots) {
    for (const Slot* slot : slots) {
      writeHistogram(out, "orvane_site_attempt_duration_seconds", slot->name,
                     slot->attemptLatency.snapshot());
    }
  });

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
    each([&](const std::vector<const Slot*>& slots) {
      for (const Slot* slot : slots) {
        const std::uint64_t value = read(slot->*total.counter);
        if (total.inSeconds) {
          out.sample(total.name, {{"operation", slot->name}}, seconds(value));
        } else {
          out.sample(total.name, {{"operation", slot->name}}, value);
        }
      }
    });
  }

  out.family("orvane_site_cache_events_total", "counter",
             "Calls answered from the response cache (hit), sent because nothing was kept "
             "(miss), joined to an identical call under way (coalesced), and entries evicted.");
  each([&](const std::vector<const Slot*>& slots) {
    for (const Slot* slot : slots) {
      if (!slot->cacheSeen()) continue;
      for (std::size_t kind = 0; kind < kCacheEvents; ++kind) {
        out.sample("orvane_site_cache_events_total",
                   {{"operation", slot->name}, {"event", kCacheEventNames[kind]}},
                   read(slot->cacheEvents[kind]));
      }
    }
  });

  out.family("orvane_site_limiter_changes_total", "counter",
             "Times a rate limiter began deciding alone (fallback \"true\") or went back.");
  eachLimiter([&](const std::string& name, const LimiterState& state) {
    out.sample("orvane_site_limiter_changes_total", {{"limiter", name}, {"fallback", "true"}},
               state.toFallback);
    out.sample("orvane_site_limiter_changes_total", {{"limiter", name}, {"fallback", "false"}},
               state.toNormal);
  });
  out.family("orvane_site_limiter_fallback", "gauge",
             "1 while a rate limiter decides alone, else 0.");
  eachLimiter([&](const std::string& name, const LimiterState& state) {
    out.sample("orvane_site_limiter_fallback", {{"limiter", name}},
               static_cast<std::uint64_t>(state.fallback ? 1 : 0));
  });
  return out.take();
}

}  // namespace orvane::site::observe
