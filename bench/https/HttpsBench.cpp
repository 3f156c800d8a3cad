// Calls per second over loopback HTTPS against the stand-in (run in a child process), with 1,
// 16 and 256 calls in flight, three ways:
//   library           SiteClient::shared().textSearch with CurlTransport, replies decoded and
//                     handed to the handlers
//   option_client     the same through an option client (SiteClient(ClientOptions)) and its
//                     callback form: no log lines, the body written as text, decoded in place
//   curl_multi        raw libcurl multi on one thread, same request, easy handles and
//                     connections reused, replies not decoded (the limit)
//   curl_thread       the same on a thread of its own, each call handed over to it and its end
//                     signalled back (the limit for any client that keeps a thread of its own)
//   fresh_connection  curl_easy_perform on a fresh easy handle per call, on as many threads as
//                     calls in flight (a naive client: a TCP and TLS handshake per call)
// All three send the request the library builds (captured from the library itself) and trust
// the stand-in's authority. Two replies: "small" (a page of 1 site, so the clients' own costs
// show) and "page20" (a realistic page of 20 sites). Each benchmark iteration is one batch.
//
// Also reported: the threads of the library (by name) and of the process, and the peak memory
// per call in flight: (VmHWM - VmRSS before the first batch) / calls in flight, after one warm-up
// call (see measure()). Run one benchmark per process for clean memory figures (bench/run does).

#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "https/CurlMultiDriver.h"
#include "https/CurlRequestShape.h"
#include "https/CurlThreadDriver.h"
#include "https/FreshConnectionDriver.h"
#include "https/LibraryDriver.h"
#include "https/SearchRequest.h"
#include "https/StandinChild.h"
#include "orvane/site/ApiContext.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/decode.h"
#include "orvane/site/transport/CurlTransport.h"
#include "support/ImmediateTransport.h"
#include "support/ProcessStats.h"

namespace orvane::site::bench {
namespace {

constexpr int kStandinWorkers = 640;  // > every connection two benchmarks may keep alive at once
const int kInFlight[] = {1, 16, 256};

struct Variant {
  std::string name;
  TextSearchRequest request;
  std::unique_ptr<CurlRequestShape> shape;
  double replyBytes = 0;
};

std::vector<Variant>& variants() {
  static std::vector<Variant> all;
  return all;
}

// The exact request the library sends for `call`, taken from the library itself.
HttpRequest captureLibraryRequest(const TextSearchRequest& call) {
  auto capture = std::make_shared<ImmediateTransport>("{}", true);
  setDefaultHttpTransport(capture);
  SiteClient::shared().textSearch(call, nullptr,
                                  [](std::shared_ptr<TextSearchResponse>, std::optional<Error>) {});
  capture->drain();
  setDefaultHttpTransport(nullptr);
  std::optional<HttpRequest> request = capture->lastRequest();
  if (!request || !request->body) {
    std::fprintf(stderr, "the library sent no request to capture\n");
    std::exit(1);
  }
  return *request;
}

// A few calls with raw curl on one connection, to report what a reply holds and how long the
// stand-in takes to answer one call alone.
void describeReply(Variant& variant) {
  constexpr int kCalls = 5;
  std::string body;
  CURL* handle = curl_easy_init();
  variant.shape->configure(handle, &body);
  bool ok = CurlRequestShape::succeeded(handle, curl_easy_perform(handle));  // connects
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; ok && i < kCalls; ++i) {
    body.clear();
    ok = CurlRequestShape::succeeded(handle, curl_easy_perform(handle));
  }
  const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
  curl_easy_cleanup(handle);
  Result<TextSearchResponse> reply = decode<TextSearchResponse>(body);
  if (!ok || !reply.ok()) {
    std::fprintf(stderr, "the stand-in did not answer the benchmark's call with a reply\n");
    std::exit(1);
  }
  variant.replyBytes = static_cast<double>(body.size());
  const auto& sites = reply.value()->sites;
  std::fprintf(stderr, "%s reply: %zu bytes, %zu sites; one call alone: %.2f ms\n",
               variant.name.c_str(), body.size(), sites ? sites->size() : 0, took.count() / kCalls);
}

std::size_t batchCalls(int inFlight) {
  return std::max<std::size_t>(128, 4 * static_cast<std::size_t>(inFlight));
}

struct Driver {
  std::function<std::size_t(std::size_t calls)> run;
  std::function<int()> peakThreads;
  std::function<std::string()> firstFailure;
};

// Times batches of calls, after an untimed first batch. Google Benchmark may run a benchmark
// several times (growing the iteration count), and from the second run on the connections are
// already there, so memory is taken on the first run in the process only: the peak over that run
// minus the resident size before its first batch.
void measure(benchmark::State& state, const std::string& key, const Variant& variant, int inFlight,
             const std::function<Driver(int inFlight)>& make) {
  static std::map<std::string, double> kibPerCallInFlight;
  const bool firstRun = kibPerCallInFlight.count(key) == 0;
  if (firstRun) {  // one warm-up call, so one-time set-up (library thread, TLS) is not counted
    Driver warm = make(1);
    (void)warm.run(1);
  }
  Driver driver = make(inFlight);
  const std::size_t calls = batchCalls(inFlight);
  const bool peakReset = firstRun && resetPeakResident();
  const std::int64_t before = residentBytes();
  std::size_t failed = driver.run(calls);
  for (auto _ : state) failed += driver.run(calls);
  if (firstRun) {
    kibPerCallInFlight[key] =
        peakReset ? static_cast<double>(peakResidentBytes() - before) / 1024.0 / inFlight : -1.0;
  }
  if (failed > 0) {
    const std::string why = driver.firstFailure ? driver.firstFailure() : std::string();
    const std::string message = std::to_string(failed) + " calls failed" +
                                (why.empty() ? std::string() : ", first: " + why);
    state.SkipWithError(message.c_str());
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * calls));
  state.counters["in_flight"] = inFlight;
  state.counters["reply_bytes"] = variant.replyBytes;
  state.counters["peak_kib_per_call_in_flight"] = kibPerCallInFlight[key];
  state.counters["library_threads"] = threadCountNamed(CurlTransport::kLibraryThreadName);
  state.counters["process_threads_peak"] =
      std::max(driver.peakThreads ? driver.peakThreads() : 0, threadCount());
}

std::string keyOf(const char* way, const Variant& variant, int inFlight) {
  return variant.name + "/" + way + "/" + std::to_string(inFlight);
}

void library(benchmark::State& state, const Variant* variant, int inFlight) {
  measure(state, keyOf("library", *variant, inFlight), *variant, inFlight, [variant](int n) {
    auto driver = std::make_shared<LibraryDriver>(variant->request, n);
    return Driver{[driver](std::size_t calls) { return driver->run(calls); },
                  [driver] { return driver->peakThreads(); },
                  [driver] { return driver->firstFailure(); }};
  });
}

// The option client's settings: the stand-in's key and host, its authority trusted.
ClientOptions& optionClientOptions() {
  static ClientOptions options;
  return options;
}

void optionClient(benchmark::State& state, const Variant* variant, int inFlight) {
  measure(state, keyOf("option_client", *variant, inFlight), *variant, inFlight, [variant](int n) {
    auto client = std::make_shared<SiteClient>(optionClientOptions());
    auto driver = std::make_shared<LibraryDriver>(variant->request, n, client);
    return Driver{[driver](std::size_t calls) { return driver->run(calls); },
                  [driver] { return driver->peakThreads(); },
                  [driver] { return driver->firstFailure(); }};
  });
}

void curlMulti(benchmark::State& state, const Variant* variant, int inFlight) {
  measure(state, keyOf("curl_multi", *variant, inFlight), *variant, inFlight, [variant](int n) {
    auto driver = std::make_shared<CurlMultiDriver>(*variant->shape, n);
    return Driver{[driver](std::size_t calls) { return driver->run(calls); }, nullptr, nullptr};
  });
}

void curlThread(benchmark::State& state, const Variant* variant, int inFlight) {
  measure(state, keyOf("curl_thread", *variant, inFlight), *variant, inFlight, [variant](int n) {
    auto driver = std::make_shared<CurlThreadDriver>(*variant->shape, n);
    return Driver{[driver](std::size_t calls) { return driver->run(calls); }, nullptr, nullptr};
  });
}

void freshConnection(benchmark::State& state, const Variant* variant, int inFlight) {
  measure(
      state, keyOf("fresh_connection", *variant, inFlight), *variant, inFlight, [variant](int n) {
        auto driver = std::make_shared<FreshConnectionDriver>(*variant->shape, n);
        return Driver{[driver](std::size_t calls) { return driver->run(calls); }, nullptr, nullptr};
      });
}

void registerAll() {
  using Function = void (*)(benchmark::State&, const Variant*, int);
  const std::pair<const char*, Function> ways[] = {{"library", library},
                                                   {"option_client", optionClient},
                                                   {"curl_multi", curlMulti},
                                                   {"curl_thread", curlThread},
                                                   {"fresh_connection", freshConnection}};
  for (const Variant& variant : variants()) {
    for (int inFlight : kInFlight) {
      for (const auto& [way, function] : ways) {
        const std::string name =
            "https/" + variant.name + "/" + way + "/in_flight:" + std::to_string(inFlight);
        benchmark::RegisterBenchmark(name.c_str(), function, &variant, inFlight)
            ->UseRealTime()
            ->Unit(benchmark::kMillisecond);
      }
    }
  }
}

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
  bench::StandinChild standin;
  standin.start(bench::kStandinWorkers);  // forks: before any thread of this process
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  bench::silenceStandardOutput();  // the library logs every call there
  curl_global_init(CURL_GLOBAL_DEFAULT);

  SiteClient::provideApiContext(
      ApiContext().setApiKey(standin.apiKey()).setBaseUrl(standin.host()).build());
  for (const auto& [name, pageSize] : {std::pair{"small", 1}, std::pair{"page20", 20}}) {
    bench::Variant variant{name, bench::standinSearchRequest(pageSize), nullptr, 0};
    const HttpRequest request = bench::captureLibraryRequest(variant.request);
    variant.shape = std::make_unique<bench::CurlRequestShape>(request.url, request.headers,
                                                              *request.body, standin.caFile());
    bench::describeReply(variant);
    bench::variants().push_back(std::move(variant));
  }

  CurlTransportOptions options;
  options.caInfoFile = standin.caFile();
  setDefaultHttpTransport(std::make_shared<CurlTransport>(options));
  bench::optionClientOptions()
      .setApiKey(standin.apiKey())
      .setHost(standin.host())
      .setTransport(std::make_shared<CurlTransport>(options));

  bench::registerAll();
  benchmark::ConsoleReporter console;
  console.SetOutputStream(&std::cerr);
  console.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&console);
  benchmark::Shutdown();
  bench::variants().clear();
  standin.stop();
  return 0;
}
