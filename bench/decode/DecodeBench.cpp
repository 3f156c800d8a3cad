// Decoding a text-search reply into TextSearchResponse, three ways, on the same bytes:
//   library          decode<TextSearchResponse>: strict, field by field, into the records
//   simdjson_parse   simdjson DOM parse alone, no records built (the limit)
//   nlohmann_copy    nlohmann::json parse, then copy the same fields into the same records
//                    (what an application would write without the library)

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "decode/NlohmannTextSearch.h"
#include "orvane/site/decode.h"
#include "support/AllocationCounter.h"
#include "support/BenchReplies.h"

namespace orvane::site::bench {
namespace {

constexpr int kCountingRounds = 20;

// Throughput from the timed loop; allocations from a separate, untimed pass of `decodeOnce`.
template <class Decode>
void report(benchmark::State& state, const std::string& reply, Decode decodeOnce) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * reply.size()));
  state.counters["reply_bytes"] = static_cast<double>(reply.size());
  CountAllocations counter;
  for (int i = 0; i < kCountingRounds; ++i) decodeOnce();
  state.counters["allocs_per_decode"] = static_cast<double>(counter.count()) / kCountingRounds;
}

void decodeWithLibrary(benchmark::State& state, const std::string* reply) {
  const auto decodeOnce = [reply] { return decode<TextSearchResponse>(*reply).ok(); };
  for (auto _ : state) {
    if (!decodeOnce()) {
      state.SkipWithError("the library rejected the reply");
      break;
    }
  }
  report(state, *reply, decodeOnce);
}

void parseWithSimdjson(benchmark::State& state, const std::string* reply) {
  simdjson::dom::parser parser;  // reused across replies, as the library reuses its own
  const auto parseOnce = [&parser, reply] {
    simdjson::dom::element root;
    const bool ok = parser.parse(reply->data(), reply->size()).get(root) == simdjson::SUCCESS;
    benchmark::DoNotOptimize(root);
    return ok;
  };
  for (auto _ : state) {
    if (!parseOnce()) {
      state.SkipWithError("simdjson rejected the reply");
      break;
    }
  }
  report(state, *reply, parseOnce);
}

void decodeWithNlohmann(benchmark::State& state, const std::string* reply) {
  const auto decodeOnce = [reply] {
    auto response = decodeTextSearchWithNlohmann(*reply);
    benchmark::DoNotOptimize(response);
    return response != nullptr;
  };
  for (auto _ : state) decodeOnce();
  report(state, *reply, decodeOnce);
}

// Both decoders must read the same records, or the comparison says nothing.
void checkSameRecords(const char* name, const std::string& reply) {
  Result<TextSearchResponse> ours = decode<TextSearchResponse>(reply);
  if (!ours.ok()) {
    std::fprintf(stderr, "%s reply: decode failed: %s at %s\n", name,
                 ours.error().userInfo.count("debugDescription")
                     ? ours.error().userInfo.at("debugDescription").c_str()
                     : "?",
                 ours.error().userInfo.count("codingPath")
                     ? ours.error().userInfo.at("codingPath").c_str()
                     : "?");
    std::exit(1);
  }
  auto theirs = decodeTextSearchWithNlohmann(reply);
  const auto& a = *ours.value();
  const auto& b = *theirs;
  const bool same = a.totalCount == b.totalCount && a.sites.has_value() == b.sites.has_value() &&
                    (!a.sites || a.sites->size() == b.sites->size()) &&
                    a.returnCode == b.returnCode && a.returnDesc == b.returnDesc;
  if (!same || !a.sites || a.sites->empty()) {
    std::fprintf(stderr, "%s reply: the decoders disagree or the reply has no sites\n", name);
    std::exit(1);
  }
  for (std::size_t i = 0; i < a.sites->size(); ++i) {
    const Site& x = *(*a.sites)[i];
    const Site& y = *(*b.sites)[i];
    if (x.siteId != y.siteId || x.name != y.name || x.distance != y.distance ||
        static_cast<bool>(x.poi) != static_cast<bool>(y.poi) ||
        static_cast<bool>(x.address) != static_cast<bool>(y.address)) {
      std::fprintf(stderr, "%s reply: site %zu differs between the decoders\n", name, i);
      std::exit(1);
    }
  }
}

void registerAll() {
  struct Reply {
    const char* name;
    const std::string* text;
  };
  const Reply replies[] = {{"realistic", &realisticReply()}, {"large", &largeReply()}};
  for (const Reply& reply : replies) {
    checkSameRecords(reply.name, *reply.text);
    const std::string prefix = std::string("decode/") + reply.name + "/";
    benchmark::RegisterBenchmark((prefix + "library").c_str(), decodeWithLibrary, reply.text);
    benchmark::RegisterBenchmark((prefix + "simdjson_parse").c_str(), parseWithSimdjson,
                                 reply.text);
    benchmark::RegisterBenchmark((prefix + "nlohmann_copy").c_str(), decodeWithNlohmann,
                                 reply.text);
  }
}

}  // namespace
}  // namespace orvane::site::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  orvane::site::bench::registerAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
