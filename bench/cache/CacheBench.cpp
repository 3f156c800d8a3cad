// What the response cache saves: a call answered from a kept reply against the same call sent
// to the stand-in over loopback HTTPS, and against the library's own cost of a call with a
// transport that answers at once (no network). Also the heap one entry takes, for a small
// reply (timezone) and a 20-site text search, beside what the cache counts for it.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "orvane/site/Call.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/ResponseCache.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/testing/Standin.h"
#include "support/BenchReplies.h"
#include "support/ImmediateTransport.h"

namespace orvane::site::bench {
namespace {

constexpr const char* kZoneReply =
    R"({"returnCode":"0","returnDesc":"OK","timeZoneId":"Europe/Paris",)"
    R"("timeZoneName":"Central European Standard Time","rawOffset":3600000,"dstOffset":0})";

TimezoneRequest paris(std::int64_t timestamp = 1700000000) {
  return TimezoneRequest(Coordinate(48.8566, 2.3522), timestamp, "en");
}

TextSearchRequest coffee(int page) {
  return TextSearchRequest("coffee", Coordinate(48.8566, 2.3522), 1000, std::nullopt, std::nullopt,
                           std::nullopt, "en", 20, page, std::nullopt);
}

// Answers at once, and never fires a timer: ImmediateTransport fires them at once, which would
// end a waiting caller at its deadline before its shared request is answered.
class ImmediateNoTimers final : public ImmediateTransport {
 public:
  using ImmediateTransport::ImmediateTransport;
  void runAfter(std::chrono::nanoseconds /*delay*/, Task /*task*/) override {}
};

ClientOptions immediate(const std::shared_ptr<ImmediateTransport>& transport) {
  return ClientOptions().setApiKey("bench-key").setHost("127.0.0.1:8443").setTransport(transport);
}

// One call, answered and delivered before it returns.
template <class Response>
bool delivered(ImmediateTransport& transport, const Call<Response>& call) {
  transport.drain();
  return call.done() && call.get().ok();
}

void hit(benchmark::State& state) {
  auto transport = std::make_shared<ImmediateNoTimers>(kZoneReply);
  SiteClient client(immediate(transport).setResponseCache(std::make_shared<ResponseCache>()));
  if (!delivered(*transport, client.timezone(paris()))) state.SkipWithError("no first reply");
  for (auto _ : state) {
    if (!delivered(*transport, client.timezone(paris()))) state.SkipWithError("no hit");
  }
}
BENCHMARK(hit)->Name("cache/timezone hit");

void uncachedImmediate(benchmark::State& state) {
  auto transport = std::make_shared<ImmediateNoTimers>(kZoneReply);
  SiteClient client(immediate(transport));
  for (auto _ : state) {
    if (!delivered(*transport, client.timezone(paris()))) state.SkipWithError("no reply");
  }
}
BENCHMARK(uncachedImmediate)->Name("cache/timezone without cache, transport answering at once");

void uncachedHttps(benchmark::State& state) {
  static testkit::Standin standin;
  SiteClient client(standin.clientOptions());
  if (!client.timezone(paris()).get().ok()) state.SkipWithError("the stand-in did not answer");
  for (auto _ : state) {
    if (!client.timezone(paris()).get().ok()) state.SkipWithError("no reply");
  }
}
BENCHMARK(uncachedHttps)
    ->Name("cache/timezone without cache, to the stand-in over HTTPS")
    ->UseRealTime();

// Heap per entry: `entries` distinct questions kept, measured by the allocator.
template <class Ask>
void memoryPerEntry(benchmark::State& state, const std::string& reply, Ask ask) {
  constexpr int kEntries = 2000;
  for (auto _ : state) {
    auto transport = std::make_shared<ImmediateNoTimers>(reply);
    auto cache =
        std::make_shared<ResponseCache>(ResponseCacheOptions().setMaxBytes(std::size_t{1} << 32U));
    SiteClient client(immediate(transport).setResponseCache(cache));
    // The client's own first-call allocations stay out of the figure.
    ask(client, *transport, -1);
    const std::size_t before = mallinfo2().uordblks;
    for (int i = 0; i < kEntries; ++i) ask(client, *transport, i);
    const std::size_t after = mallinfo2().uordblks;
    state.counters["heap_bytes_per_entry"] =
        static_cast<double>(after - before) / static_cast<double>(kEntries);
    state.counters["counted_bytes_per_entry"] =
        static_cast<double>(cache->byteCount()) / static_cast<double>(cache->entryCount());
    state.counters["reply_bytes"] = static_cast<double>(reply.size());
  }
}

void timezoneEntry(benchmark::State& state) {
  memoryPerEntry(state, kZoneReply, [](SiteClient& client, ImmediateTransport& transport, int i) {
    delivered(transport, client.timezone(paris(1700000000 + i)));
  });
}
BENCHMARK(timezoneEntry)->Name("cache/memory per timezone entry")->Iterations(1);

void textSearchEntry(benchmark::State& state) {
  memoryPerEntry(state, realisticReply(),
                 [](SiteClient& client, ImmediateTransport& transport, int i) {
                   delivered(transport, client.textSearch(coffee(i + 2)));
                 });
}
BENCHMARK(textSearchEntry)->Name("cache/memory per 20-site text search entry")->Iterations(1);

}  // namespace
}  // namespace orvane::site::bench

BENCHMARK_MAIN();
