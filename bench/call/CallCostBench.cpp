// The library's own cost per call: from SiteClient::textSearch to the caller's handler, with a
// transport that answers at once (ImmediateTransport). Included: the facade and request client,
// body building, URL, request manager, the three log lines per call (standard output goes to
// /dev/null), the copy of the reply into the transport's outcome, decoding and the handler.
// The benchmark thread plays the library thread, so no thread hop is measured.
//
// For scale, the same program times decode<TextSearchResponse> alone on the same reply, and the
// decode option clients make: in place, in a body with the parser's padding after it, as the
// transports leave it (decode<T> copies the text into the parser's buffer first).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include <simdjson.h>

#include "decoding/OwnedReply.h"
#include "orvane/site/ApiContext.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/decode.h"
#include "orvane/site/transport/HttpTransport.h"
#include "support/AllocationCounter.h"
#include "support/BenchReplies.h"
#include "support/ImmediateTransport.h"

namespace orvane::site::bench {
namespace {

constexpr int kCountingCalls = 50;

TextSearchRequest typicalRequest() {
  return TextSearchRequest("coffee", Coordinate(48.8566, 2.3522), 1000, std::nullopt, std::nullopt,
                           std::nullopt, "en", 20, 1, std::nullopt);
}

// One call through the facade, answered and delivered before it returns; true when the handler
// received a response.
bool callOnce(ImmediateTransport& transport) {
  bool delivered = false;
  SiteClient::shared().textSearch(
      typicalRequest(), nullptr,
      [&delivered](std::shared_ptr<TextSearchResponse> response, std::optional<Error> error) {
        delivered = response != nullptr && !error;
      });
  transport.drain();
  return delivered;
}

void callThroughFacade(benchmark::State& state, const std::string* reply) {
  auto transport = std::make_shared<ImmediateTransport>(*reply);
  setDefaultHttpTransport(transport);
  if (!callOnce(*transport)) {
    state.SkipWithError("the call did not deliver a response");
    setDefaultHttpTransport(nullptr);
    return;
  }
  for (auto _ : state) {
    if (!callOnce(*transport)) {
      state.SkipWithError("the call did not deliver a response");
      break;
    }
  }
  {
    CountAllocations counter;
    for (int i = 0; i < kCountingCalls; ++i) callOnce(*transport);
    state.counters["allocs_per_call"] = static_cast<double>(counter.count()) / kCountingCalls;
  }
  state.counters["reply_bytes"] = static_cast<double>(reply->size());
  setDefaultHttpTransport(nullptr);
}

enum class OptionCall { callback, get, cancelled };

// One call of an option client, run to its end on the benchmark thread; true when it ended as
// `kind` expects (a response, or "cancelled").
bool optionCallOnce(SiteClient& client, ImmediateTransport& transport, OptionCall kind) {
  bool delivered = false;
  if (kind == OptionCall::get) {
    auto call = client.textSearch(typicalRequest());
    transport.drain();
    return call.get().ok();
  }
  auto call = client.textSearch(typicalRequest(), CallOptions(),
                                [&delivered](Result<TextSearchResponse> result) {
                                  delivered = result.ok() || result.error().code == 12;
                                });
  if (kind == OptionCall::cancelled) call.cancel();
  transport.drain();
  return delivered;
}

void callThroughOptionClient(benchmark::State& state, const std::string* reply, OptionCall kind) {
  auto transport = std::make_shared<ImmediateTransport>(*reply);
  SiteClient client(ClientOptions().setApiKey("KEY").setTransport(transport));
  for (auto _ : state) {
    if (!optionCallOnce(client, *transport, kind)) {
      state.SkipWithError("the call did not end as expected");
      break;
    }
  }
  CountAllocations counter;
  for (int i = 0; i < kCountingCalls; ++i) optionCallOnce(client, *transport, kind);
  state.counters["allocs_per_call"] = static_cast<double>(counter.count()) / kCountingCalls;
}

void decodeOnly(benchmark::State& state, const std::string* reply) {
  for (auto _ : state) {
    if (!decode<TextSearchResponse>(*reply).ok()) {
      state.SkipWithError("the library rejected the reply");
      break;
    }
  }
  {
    CountAllocations counter;
    for (int i = 0; i < kCountingCalls; ++i)
      benchmark::DoNotOptimize(decode<TextSearchResponse>(*reply));
    state.counters["allocs_per_call"] = static_cast<double>(counter.count()) / kCountingCalls;
  }
  state.counters["reply_bytes"] = static_cast<double>(reply->size());
}

void decodeInPlace(benchmark::State& state, const std::string* reply) {
  std::string body;
  body.reserve(reply->size() + simdjson::SIMDJSON_PADDING);
  body.assign(*reply);
  if (!decoding::hasParserPadding(body)) {
    state.SkipWithError("the body has no room for the parser's padding");
    return;
  }
  for (auto _ : state) {
    if (!decoding::decodeOwnedReply<TextSearchResponse>(body).ok()) {
      state.SkipWithError("the library rejected the reply");
      break;
    }
  }
  {
    CountAllocations counter;
    for (int i = 0; i < kCountingCalls; ++i)
      benchmark::DoNotOptimize(decoding::decodeOwnedReply<TextSearchResponse>(body));
    state.counters["allocs_per_call"] = static_cast<double>(counter.count()) / kCountingCalls;
  }
  state.counters["reply_bytes"] = static_cast<double>(reply->size());
}

void registerAll() {
  struct Reply {
    const char* name;
    const std::string* text;
  };
  const Reply replies[] = {{"realistic", &realisticReply()}, {"large", &largeReply()}};
  for (const Reply& reply : replies) {
    const std::string prefix = std::string("call/") + reply.name + "/";
    benchmark::RegisterBenchmark((prefix + "facade").c_str(), callThroughFacade, reply.text)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((prefix + "decode_only").c_str(), decodeOnly, reply.text)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark((prefix + "decode_in_place").c_str(), decodeInPlace, reply.text)
        ->Unit(benchmark::kMicrosecond);
    // Side by side: an option client's callback form, get() on its handle, and a call
    // cancelled right after it started.
    const struct {
      const char* name;
      OptionCall kind;
    } forms[] = {{"option_callback", OptionCall::callback},
                 {"option_get", OptionCall::get},
                 {"option_cancelled", OptionCall::cancelled}};
    for (const auto& form : forms) {
      benchmark::RegisterBenchmark((prefix + form.name).c_str(), callThroughOptionClient,
                                   reply.text, form.kind)
          ->Unit(benchmark::kMicrosecond);
    }
  }
}

// The library logs every call to standard output; the measurement sends that to /dev/null and
// shows the benchmark's own report on standard error instead.
void silenceStandardOutput() {
  std::fflush(stdout);
  const int devNull = open("/dev/null", O_WRONLY);
  if (devNull < 0 || dup2(devNull, STDOUT_FILENO) < 0) {
    std::perror("cannot send standard output to /dev/null");
    std::exit(1);
  }
  close(devNull);
}

}  // namespace
}  // namespace orvane::site::bench

int main(int argc, char** argv) {
  using namespace orvane::site;
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::silenceStandardOutput();
  SiteClient::provideApiContext(ApiContext().setApiKey("bench-api-key-0123456789").build());
  bench::registerAll();
  benchmark::ConsoleReporter console;
  console.SetOutputStream(&std::cerr);
  console.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&console);
  benchmark::Shutdown();
  return 0;
}
