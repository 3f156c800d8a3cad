// Decoding a text-search reply into TextSearchResponse, three ways, on the same bytes:
//   library          decode<TextSearchResponse>: strict, field by field, into the records
//   simdjson_parse   simdjson DOM parse alone, no records built (the limit)
//   nlohmann_copy    nlohmann::json parse, then copy the same fields into the same records
//                    (what an application would write without the library)
// and, to show where an On-Demand decoder would stand, walks that read every key, string and
// number but build nothing:
//   dom_walk                 simdjson DOM parse, then the walk over its tree
//   ondemand_walk_generic    simdjson On-Demand, compiled for any x86-64 as the library is
//   ondemand_walk_avx2       the same code compiled for simdjson's AVX2 kernel (AVX2 CPUs only)

#include <benchmark/benchmark.h>
#include <simdjson.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "decode/NlohmannTextSearch.h"
#include "decode/OnDemandWalk.h"
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

// Reads every key, string and number of the tree, the least a DOM decoder does besides building.
std::size_t walkTree(simdjson::dom::element value) {
  switch (value.type()) {
    case simdjson::dom::element_type::OBJECT: {
      std::size_t sum = 0;
      const simdjson::dom::object object = value.get_object().value_unsafe();
      for (auto member : object) {
        sum += static_cast<unsigned char>(member.key.front()) + walkTree(member.value);
      }
      return sum;
    }
    case simdjson::dom::element_type::ARRAY: {
      std::size_t sum = 0;
      const simdjson::dom::array array = value.get_array().value_unsafe();
      for (auto item : array) sum += walkTree(item);
      return sum;
    }
    case simdjson::dom::element_type::STRING:
      return value.get_string().value_unsafe().size();
    case simdjson::dom::element_type::DOUBLE:
      return value.get_double().value_unsafe() > 0 ? 1 : 0;
    case simdjson::dom::element_type::INT64:
      return value.get_int64().value_unsafe() > 0 ? 1 : 0;
    default:
      return 0;
  }
}

void walkWithDom(benchmark::State& state, const std::string* reply) {
  simdjson::dom::parser parser;
  const auto walkOnce = [&parser, reply] {
    simdjson::dom::element root;
    if (parser.parse(reply->data(), reply->size()).get(root) != simdjson::SUCCESS) return false;
    benchmark::DoNotOptimize(walkTree(root));
    return true;
  };
  for (auto _ : state) {
    if (!walkOnce()) {
      state.SkipWithError("simdjson rejected the reply");
      break;
    }
  }
  report(state, *reply, walkOnce);
}

void walkWithOnDemand(benchmark::State& state, const std::string* reply, OnDemandWalker walker) {
  const auto walkOnce = [reply, walker] {
    std::size_t sum = 0;
    const bool ok = walker.walk(*reply, sum);
    benchmark::DoNotOptimize(sum);
    return ok;
  };
  for (auto _ : state) {
    if (!walkOnce()) {
      state.SkipWithError("simdjson On-Demand rejected the reply");
      break;
    }
  }
  state.SetLabel(walker.compiledFor);
  report(state, *reply, walkOnce);
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
    benchmark::RegisterBenchmark((prefix + "dom_walk").c_str(), walkWithDom, reply.text);
    benchmark::RegisterBenchmark((prefix + "ondemand_walk_generic").c_str(), walkWithOnDemand,
                                 reply.text, genericOnDemandWalker());
#if defined(ORVANE_SITE_BENCH_AVX2_WALK)
    benchmark::RegisterBenchmark((prefix + "ondemand_walk_avx2").c_str(), walkWithOnDemand,
                                 reply.text, avx2OnDemandWalker());
#endif
  }
}

}  // namespace
}  // namespace orvane::site::bench

int main(int argc, char** argv) {
#if defined(ORVANE_SITE_BENCH_AVX2_WALK)
  if (!orvane::site::bench::avx2RunsHere()) {
    std::fprintf(
        stderr,
        "this CPU lacks AVX2: configure with -DORVANE_SITE_BENCH_AVX2_WALK=OFF and rebuild\n");
    return 1;
  }
#endif
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  orvane::site::bench::registerAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
