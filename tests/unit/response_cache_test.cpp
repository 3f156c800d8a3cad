// The response cache of option clients on the fake transport and a fake clock: lifetimes, the
// byte bound and its eviction order, what is never kept, the keys that keep entries apart, and
// identical calls sharing one request with their own cancels and deadlines.
#include <gtest/gtest.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/CallStats.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/ErrorChecks.h"
#include "orvane/site/ResponseCache.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/FakeTransport.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;
using testkit::FakeTransport;

constexpr const char* kReply =
    R"({"returnCode":"0","returnDesc":"OK","timeZoneId":"Europe/Paris"})";
constexpr const char* kHost = "127.0.0.1:8443";

TimezoneRequest zoneAt(double lat, double lng, std::int64_t timestamp = 1700000000) {
  return TimezoneRequest(Coordinate(lat, lng), timestamp, "en");
}

TimezoneRequest paris(std::int64_t timestamp = 1700000000) {
  return zoneAt(48.8566, 2.3522, timestamp);
}

// One fake transport, one cache on a fake clock, and stats that count its events.
struct Rig {
  explicit Rig(ResponseCacheOptions cacheOptions = ResponseCacheOptions())
      : cache(std::make_shared<ResponseCache>(
            cacheOptions.setClock([this] { return std::chrono::steady_clock::time_point(now); }))) {
  }
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;
  ~Rig() { transport->dropPending(); }

  ClientOptions options(const std::string& key = "KEY-A", const std::string& host = kHost) const {
    return ClientOptions()
        .setApiKey(key)
        .setHost(host)
        .setTransport(transport)
        .setRetryPolicy(RetryPolicy().setMaxAttempts(1))
        .setDeadline(60s)
        .setResponseCache(cache)
        .setObserver(stats);
  }

  // Runs a call to its end, answering its request (if it sends one) with `status` and `body`.
  Result<TimezoneResponse> settle(const Call<TimezoneResponse>& call, long status = 200,
                                  const std::string& body = kReply) const {
    EXPECT_FALSE(call.done());  // delivered later, never inside the operation call
    transport->runPosted();
    if (transport->pendingRequestCount() > 0) transport->reply(status, body);
    transport->runPosted();
    EXPECT_TRUE(call.done());
    return call.get();
  }

  CallStats::OperationSummary counts() const {
    for (const auto& each : stats->operations()) {
      if (each.operation == "timezone") return each;
    }
    return {};
  }

  std::chrono::nanoseconds now{0};
  std::shared_ptr<FakeTransport> transport = std::make_shared<FakeTransport>();
  std::shared_ptr<CallStats> stats = std::make_shared<CallStats>();
  std::shared_ptr<ResponseCache> cache;
};

TEST(ResponseCache, AnEntryServesRepeatedCallsForItsLifetimeOnly) {
  struct Case {
    const char* name;
    std::chrono::nanoseconds lifetime;
    std::chrono::nanoseconds later;
    std::size_t requests;
  };
  const std::vector<Case> cases = {
      {"within its lifetime", 10s, 9s, 1},
      {"at its end", 10s, 10s, 2},
      {"operation turned off", 0s, 0s, 2},
  };
  for (const Case& c : cases) {
    Rig rig(ResponseCacheOptions().setLifetime("timezone", c.lifetime));
    SiteClient client(rig.options());
    ASSERT_TRUE(rig.settle(client.timezone(paris())).ok()) << c.name;
    rig.now += c.later;
    const Result<TimezoneResponse> again = rig.settle(client.timezone(paris()));
    ASSERT_TRUE(again.ok()) << c.name;
    EXPECT_EQ(again.value()->timeZoneId, "Europe/Paris") << c.name;
    EXPECT_EQ(rig.transport->requestCount(), c.requests) << c.name;
    EXPECT_EQ(rig.counts().cacheHits, c.requests == 1 ? 1U : 0U) << c.name;
  }
}

TEST(ResponseCache, TheLeastRecentlyUsedEntryGoesFirstWhenBytesRunOut) {
  std::size_t entryBytes = 0;
  {
    Rig probe;
    SiteClient client(probe.options());
    probe.settle(client.timezone(paris(1700000001)));
    entryBytes = probe.cache->byteCount();
  }
  Rig rig(ResponseCacheOptions().setMaxBytes(entryBytes * 5 / 2));  // two entries fit
  SiteClient client(rig.options());
  const std::vector<std::pair<std::int64_t, std::size_t>> steps = {
      {1700000001, 1},  // A
      {1700000002, 2},  // B
      {1700000001, 2},  // A again: a hit, and now the most recent
      {1700000003, 3},  // C: B, the least recent, makes room
      {1700000001, 3},  // A is still kept
      {1700000002, 4},  // B is not
  };
  for (const auto& [timestamp, requests] : steps) {
    ASSERT_TRUE(rig.settle(client.timezone(paris(timestamp))).ok());
    EXPECT_EQ(rig.transport->requestCount(), requests) << timestamp;
  }
  EXPECT_EQ(rig.cache->entryCount(), 2U);
  EXPECT_LE(rig.cache->byteCount(), rig.cache->options().maxBytes());
  EXPECT_EQ(rig.counts().cacheEvictions, 2U);  // B for C, then C for B
  EXPECT_EQ(rig.counts().cacheHits, 2U);
}

TEST(ResponseCache, ErrorsIncompleteRepliesAndCancelledCallsAreNeverKept) {
  struct Case {
    const char* name;
    long status;
    std::string body;
    bool cancel;
  };
  const std::vector<Case> cases = {
      {"server error", 500, R"({"returnCode":"010500","returnDesc":"busy"})", false},
      {"refused key", 403, R"({"returnCode":"010001","returnDesc":"key"})", false},
      {"nothing found", 200, R"({"returnCode":"010011","returnDesc":"NOT FOUND"})", false},
      {"undecodable", 200, R"({"returnCode":"0")", false},
      {"cancelled", 200, kReply, true},
  };
  for (const Case& c : cases) {
    Rig rig;
    SiteClient client(rig.options());
    auto first = client.timezone(paris());
    if (c.cancel) {
      rig.transport->runPosted();
      first.cancel();
    }
    rig.settle(first, c.status, c.body);
    EXPECT_EQ(rig.cache->entryCount(), 0U) << c.name;
    ASSERT_TRUE(rig.settle(client.timezone(paris())).ok()) << c.name;
    EXPECT_EQ(rig.transport->requestCount(), 2U) << c.name;
  }
}

TEST(ResponseCache, OnlyTheSameKeyHostAndQuestionShareAnEntry) {
  struct Case {
    const char* name;
    double grid;
    std::string key;
    std::string host;
    TimezoneRequest second;
    bool shares;
  };
  const std::vector<Case> cases = {
      {"another client, same key and host", 0.0, "KEY-A", kHost, paris(), true},
      {"another key", 0.0, "KEY-B", kHost, paris(), false},
      {"another host", 0.0, "KEY-A", "127.0.0.2:8443", paris(), false},
      {"another moment", 0.0, "KEY-A", kHost, paris(1700000001), false},
      {"a nearby place, exact positions", 0.0, "KEY-A", kHost, zoneAt(48.8571, 2.3519), false},
      {"a nearby place on a grid", 0.01, "KEY-A", kHost, zoneAt(48.8571, 2.3519), true},
      {"a place across the grid line", 0.01, "KEY-A", kHost, zoneAt(48.8466, 2.3522), false},
      {"a nearby place at another moment", 0.01, "KEY-A", kHost,
       zoneAt(48.8571, 2.3519, 1700000001), false},
  };
  for (const Case& c : cases) {
    Rig rig(ResponseCacheOptions().setPositionGrid("timezone", c.grid));
    SiteClient first(rig.options());
    ASSERT_TRUE(rig.settle(first.timezone(paris())).ok()) << c.name;
    SiteClient second(rig.options(c.key, c.host));
    ASSERT_TRUE(rig.settle(second.timezone(c.second)).ok()) << c.name;
    EXPECT_EQ(rig.transport->requestCount(), c.shares ? 1U : 2U) << c.name;
  }
}

TEST(ResponseCache, IdenticalCallsShareOneRequestUntilTheirLastCallerCancels) {
  struct Case {
    const char* name;
    std::vector<bool> cancels;  // per caller, in the order they called
    bool requestCancelled;
  };
  const std::vector<Case> cases = {
      {"nobody cancels", {false, false, false}, false},
      {"the first caller cancels", {true, false, false}, false},
      {"all but one cancel", {true, true, false}, false},
      {"every caller cancels", {true, true, true}, true},
  };
  for (const Case& c : cases) {
    Rig rig;
    SiteClient client(rig.options());
    std::vector<Call<TimezoneResponse>> calls;
    std::vector<int> handled(c.cancels.size(), 0);
    for (std::size_t i = 0; i < c.cancels.size(); ++i) {
      calls.push_back(
          client.timezone(paris(), CallOptions(),
                          [&handled, i](const Result<TimezoneResponse>&) { ++handled[i]; }));
    }
    rig.transport->runPosted();
    ASSERT_EQ(rig.transport->requestCount(), 1U) << c.name;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      if (c.cancels[i]) calls[i].cancel();
    }
    rig.transport->runPosted();
    EXPECT_EQ(rig.transport->cancelledRequests().size(), c.requestCancelled ? 1U : 0U) << c.name;
    if (rig.transport->pendingRequestCount() > 0) rig.transport->reply(200, kReply);
    rig.transport->runPosted();
    for (std::size_t i = 0; i < calls.size(); ++i) {
      ASSERT_TRUE(calls[i].done()) << c.name << " caller " << i;
      EXPECT_EQ(handled[i], 1) << c.name << " caller " << i;
      const Result<TimezoneResponse> result = calls[i].get();
      if (c.cancels[i]) {
        EXPECT_EQ(transportErrorCode(result.error()), TransportErrorCode::cancelled) << c.name;
      } else {
        ASSERT_TRUE(result.ok()) << c.name;
        EXPECT_EQ(result.value()->timeZoneId, "Europe/Paris");
      }
    }
    EXPECT_EQ(rig.counts().cacheMisses, 1U) << c.name;
    EXPECT_EQ(rig.counts().cacheCoalesced, 2U) << c.name;
    EXPECT_EQ(rig.cache->entryCount(), c.requestCancelled ? 0U : 1U) << c.name;
  }
  // Each caller has a response of its own: changing one changes no other's.
  Rig rig;
  SiteClient client(rig.options());
  auto one = client.timezone(paris());
  auto two = client.timezone(paris());
  rig.settle(one);
  one.get().value()->timeZoneId = "changed";
  EXPECT_EQ(two.get().value()->timeZoneId, "Europe/Paris");
  EXPECT_EQ(rig.settle(client.timezone(paris())).value()->timeZoneId, "Europe/Paris");
}

TEST(ResponseCache, EachCallerKeepsItsOwnDeadline) {
  struct Case {
    const char* name;
    std::vector<std::chrono::nanoseconds> deadlines;  // per caller; the first one is shortest
    std::vector<bool> expire;
    bool requestCancelled;
  };
  const std::vector<Case> cases = {
      {"a short deadline among long ones", {1s, 60s, 60s}, {true, false, false}, false},
      {"the opener's short deadline", {1s, 60s}, {true, false}, false},
      {"every deadline passes", {1s, 2s}, {true, true}, true},
  };
  for (const Case& c : cases) {
    Rig rig;
    SiteClient client(rig.options());
    std::vector<Call<TimezoneResponse>> calls;
    for (const auto deadline : c.deadlines) {
      calls.push_back(client.timezone(paris(), CallOptions().setDeadline(deadline)));
    }
    rig.transport->runPosted();
    for (const bool expires : c.expire) {
      if (expires) rig.transport->fireNextTimer();  // the shortest deadline left
    }
    rig.transport->runPosted();
    EXPECT_EQ(rig.transport->cancelledRequests().size(), c.requestCancelled ? 1U : 0U) << c.name;
    if (rig.transport->pendingRequestCount() > 0) rig.transport->reply(200, kReply);
    rig.transport->runPosted();
    EXPECT_EQ(rig.transport->requestCount(), 1U) << c.name;
    for (std::size_t i = 0; i < calls.size(); ++i) {
      ASSERT_TRUE(calls[i].done()) << c.name;
      const Result<TimezoneResponse> result = calls[i].get();
      if (c.expire[i]) {
        EXPECT_EQ(transportErrorCode(result.error()), TransportErrorCode::deadlineExceeded)
            << c.name << " caller " << i;
      } else {
        EXPECT_TRUE(result.ok()) << c.name << " caller " << i;
      }
    }
  }
}

TEST(ResponseCache, StatsRenderTheCacheEvents) {
  Rig rig;
  SiteClient client(rig.options());
  auto first = client.timezone(paris());
  auto joined = client.timezone(paris());
  rig.settle(first);
  rig.settle(client.timezone(paris()));
  const std::string text = rig.stats->prometheusText();
  for (const char* sample :
       {R"(orvane_site_cache_events_total{operation="timezone",event="hit"} 1)",
        R"(orvane_site_cache_events_total{operation="timezone",event="miss"} 1)",
        R"(orvane_site_cache_events_total{operation="timezone",event="coalesced"} 1)",
        R"(orvane_site_calls_started_total{operation="timezone"} 1)"}) {
    EXPECT_NE(text.find(sample), std::string::npos) << sample << "\n" << text;
  }
}

}  // namespace
}  // namespace orvane::site
