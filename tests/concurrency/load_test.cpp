// Many calls at once over real HTTPS: 8 threads share the calls (10,000 by default, 2,000 under
// AddressSanitizer, 500 under ThreadSanitizer, or ORVANE_SITE_LOAD_CALLS) across all eight
// operations, a part of them with faults injected by the stand-in. Each thread keeps up to 4
// calls in flight (ORVANE_SITE_LOAD_WINDOW; 0 starts all of its calls at once). Every handler must
// run exactly once, on the one library thread, with its own call's result; the library must keep a
// single thread; and the heap memory in use must come back to its level before the calls (no
// growth per call).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site.h"
#include "orvane/site/standin/standin_server.h"
#include "support/OperationCalls.h"

#if defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define ORVANE_SITE_LOAD_SANITIZED 1
#endif
#if __has_feature(thread_sanitizer)
#define ORVANE_SITE_LOAD_TSAN 1
#endif
#endif
#if defined(__SANITIZE_THREAD__)
#define ORVANE_SITE_LOAD_SANITIZED 1
#define ORVANE_SITE_LOAD_TSAN 1
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVANE_SITE_LOAD_SANITIZED 1
#endif

namespace orvane::site {
namespace {

using standin::StandinOptions;
using standin::StandinServer;
using testing::CallOutcome;
using testing::KnownPlace;
using testing::Operation;

#if defined(ORVANE_SITE_LOAD_TSAN)
constexpr std::size_t kDefaultCalls = 500;
#elif defined(ORVANE_SITE_LOAD_SANITIZED)
constexpr std::size_t kDefaultCalls = 2000;
#else
constexpr std::size_t kDefaultCalls = 10000;
#endif
#ifdef ORVANE_SITE_LOAD_SANITIZED
// Sanitizer allocators replace malloc and keep freed memory in quarantine.
constexpr bool kMeasureMemory = false;
#else
constexpr bool kMeasureMemory = true;
#endif
constexpr int kThreads = 8;
constexpr auto kRoundLimit = std::chrono::minutes(10);

// 32 calls in flight in all: enough to overlap every step of the library, few enough for the
// stand-in, which serves each connection on a thread of its own.
constexpr std::size_t kDefaultWindow = 4;

// Calls each thread keeps in flight at once (ORVANE_SITE_LOAD_WINDOW; 0: all of them).
std::size_t callWindow() {
  const char* text = std::getenv("ORVANE_SITE_LOAD_WINDOW");
  if (text == nullptr || *text == '\0') return kDefaultWindow;
  const long long value = std::atoll(text);
  return value >= 0 ? static_cast<std::size_t>(value) : kDefaultWindow;
}

std::size_t callCount() {
  const char* text = std::getenv("ORVANE_SITE_LOAD_CALLS");
  if (text == nullptr || *text == '\0') return kDefaultCalls;
  const long long value = std::atoll(text);
  return value > 0 ? static_cast<std::size_t>(value) : kDefaultCalls;
}

// One kind of call in the mix: a fault asked of the stand-in and what the handler must get.
struct Mix {
  const char* fault;  // empty: a normal call
  std::int64_t maxRetry;
  const char* domain;  // empty: the operation's response about the call's place
  std::int64_t code;
  bool ownCountdown;  // "5xx-N" counts per key: such calls get a key of their own
};

const std::vector<Mix>& mixes() {
  static const std::vector<Mix> table = {
      {"", 0, "", 0, false},
      {"", 0, "", 0, false},
      {"", 0, "", 0, false},
      {"", 0, "", 0, false},
      {"5xx-1", 2, "", 0, true},
      {"delay-20", 0, "", 0, false},
      {"status-404", 2, "OrvaneSite.ErrorType", 1, false},
      {"notjson", 0, "OrvaneSite.DecodingError", 3, false},
      {"truncated", 0, "OrvaneSite.DecodingError", 3, false},
      {"nocode", 0, "OrvaneSite.TransportError",
       static_cast<std::int64_t>(TransportErrorCode::incompleteErrorEnvelope), false},
      {"notutf8", 0, "OrvaneSite.TransportError",
       static_cast<std::int64_t>(TransportErrorCode::bodyNotUtf8), false},
      {"status-503", 1, "OrvaneSite.TransportError",
       static_cast<std::int64_t>(TransportErrorCode::serverErrorAfterRetries), false},
      {"drop", 0, "OrvaneSite.TransportError",
       static_cast<std::int64_t>(TransportErrorCode::connectionFailed), false},
  };
  return table;
}

// What every handler of one round reports to; shared with the handlers, so that a late or
// second delivery still finds it alive.
struct Round {
  Round(std::size_t calls, std::size_t window)
      : deliveries(calls), remaining(calls), window(window), open(kThreads, 0) {}

  // Waits until caller `thread` may start one more call; false when the deadline passed first.
  bool admit(int thread, std::chrono::steady_clock::time_point deadline) {
    std::unique_lock<std::mutex> lock(mutex);
    if (window > 0 && !changed.wait_until(lock, deadline, [&] { return open[thread] < window; })) {
      return false;
    }
    ++open[thread];
    return true;
  }

  void delivered(std::size_t id, int thread, const std::string& problem) {
    if (!CurlTransport::isLibraryThread()) ++offLibraryThread;
    const int count = ++deliveries[id];
    std::lock_guard<std::mutex> lock(mutex);
    if (!problem.empty() && problems.size() < 20) problems.push_back(problem);
    if (count != 1) return;
    --remaining;
    --open[thread];
    changed.notify_all();
  }

  std::vector<std::atomic<int>> deliveries;
  std::atomic<int> offLibraryThread{0};
  std::mutex mutex;
  std::condition_variable changed;
  std::size_t remaining;
  const std::size_t window;  // calls in flight per caller thread; 0: no limit
  std::vector<std::size_t> open;
  std::vector<std::string> problems;
};

class Load : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    StandinOptions options;
    // Every connection the library keeps open holds one worker of the stand-in, and the library
    // keeps only so many to one host. More workers than that would only add per-thread memory of
    // the stand-in (this process's) to the growth measured below.
    constexpr std::size_t kLibraryConnectionsPerHost = 32;
    const std::size_t window = callWindow();
    const std::size_t connections =
        window == 0 ? kLibraryConnectionsPerHost
                    : std::min<std::size_t>(kThreads * window, kLibraryConnectionsPerHost);
    options.workerThreads = connections + 64;
    server_ = new StandinServer(options);
    server_->start();
    CurlTransportOptions transportOptions;
    transportOptions.caInfoFile = server_->caFile().string();
    transport_ =
        new std::shared_ptr<HttpTransport>(std::make_shared<CurlTransport>(transportOptions));
  }
  static void TearDownTestSuite() {
    delete server_;
    server_ = nullptr;
  }

  void SetUp() override {
    setLogSink([](std::string_view) {});  // three lines per attempt
    setDefaultHttpTransport(*transport_);
    places_ = testing::knownPlaces();
    testing::lookUpSiteIds(places_, contextFor(mixes().front(), 0));
    for (const Mix& mix : mixes()) sharedContexts_.push_back(contextFor(mix, 0));
  }
  void TearDown() override {
    setDefaultHttpTransport(nullptr);
    setLogSink(nullptr);
  }

  std::shared_ptr<ApiContext> contextFor(const Mix& mix, std::size_t id) const {
    std::vector<std::string> faults;
    if (*mix.fault != '\0') faults.push_back(mix.fault);
    const std::string tag = mix.ownCountdown ? "c" + std::to_string(id) : std::string();
    return testing::makeContext(StandinServer::faultKey(StandinOptions::kDemoKey, faults, tag),
                                server_->host(), mix.maxRetry, 0.01, 30.0);
  }

  // Starts call `id` of a round; the handler checks that it got this call's own result.
  void startCall(const std::shared_ptr<Round>& round, std::size_t id, int thread,
                 std::size_t salt) {
    const Operation operation = testing::operationAt(id);
    const KnownPlace& place = places_[(id / testing::kOperationCount + salt) % places_.size()];
    const std::size_t mixIndex = (id / 3 + salt) % mixes().size();
    const Mix& mix = mixes()[mixIndex];
    auto context =
        mix.ownCountdown ? contextFor(mix, salt * 1000000 + id) : sharedContexts_[mixIndex];
    testing::startCall(
        SiteClient::shared(), operation, place, std::move(context),
        [round, id, thread, operation, place, mix](CallOutcome outcome) {
          std::string problem;
          if (*mix.domain == '\0') {
            if (outcome.error || !outcome.response) {
              problem = testing::describe(outcome.error);
            } else {
              problem = testing::placeMismatch(operation, place, *outcome.response);
            }
          } else if (!outcome.error || outcome.response || outcome.error->domain != mix.domain ||
                     outcome.error->code != mix.code) {
            problem = "expected " + std::string(mix.domain) + " " + std::to_string(mix.code) +
                      ", got " + testing::describe(outcome.error);
          }
          if (!problem.empty()) {
            problem = "call " + std::to_string(id) + " (" + testing::operationName(operation) +
                      " about " + place.name + ", fault '" + mix.fault + "'): " + problem;
          }
          round->delivered(id, thread, problem);
        });
  }

  // Runs `calls` calls from kThreads threads and waits for all of them; returns the round and
  // the most library threads seen at any moment meanwhile.
  std::shared_ptr<Round> runRound(std::size_t calls, std::size_t salt, int& mostLibraryThreads) {
    auto round = std::make_shared<Round>(calls, callWindow());
    const auto deadline = std::chrono::steady_clock::now() + kRoundLimit;
    std::vector<std::thread> callers;
    for (int t = 0; t < kThreads; ++t) {
      callers.emplace_back([this, round, calls, salt, t, deadline] {
        // Each thread takes a contiguous block, so that it starts every operation and mix.
        const std::size_t begin = calls * t / kThreads;
        const std::size_t end = calls * (t + 1) / kThreads;
        for (std::size_t id = begin; id < end && round->admit(t, deadline); ++id) {
          startCall(round, id, t, salt);
        }
      });
    }
    std::unique_lock<std::mutex> lock(round->mutex);
    while (round->remaining > 0 && std::chrono::steady_clock::now() < deadline) {
      round->changed.wait_for(lock, std::chrono::milliseconds(50));
      lock.unlock();
      mostLibraryThreads =
          std::max(mostLibraryThreads, testing::threadsNamed(CurlTransport::kLibraryThreadName));
      lock.lock();
    }
    lock.unlock();
    for (std::thread& caller : callers) caller.join();
    return round;
  }

  // Checks one finished round: every call delivered once, on the library thread, correctly.
  static void expectRoundCorrect(Round& round, std::size_t calls) {
    std::lock_guard<std::mutex> lock(round.mutex);
    EXPECT_EQ(round.remaining, 0u)
        << round.remaining << " of " << calls << " handlers were not called within "
        << kRoundLimit.count() << " minutes; the stand-in saw " << server_->counters().requests
        << " requests";
    std::size_t twice = 0;
    for (std::size_t id = 0; id < calls; ++id) {
      if (round.deliveries[id].load() > 1) ++twice;
    }
    EXPECT_EQ(twice, 0u) << "handlers called more than once";
    EXPECT_EQ(round.offLibraryThread.load(), 0) << "handlers called off the library thread";
    for (const std::string& problem : round.problems) ADD_FAILURE() << problem;
  }

  static StandinServer* server_;
  // Kept for the whole run: the library thread of a transport outlives single tests.
  static std::shared_ptr<HttpTransport>* transport_;
  std::vector<KnownPlace> places_;
  std::vector<std::shared_ptr<ApiContext>> sharedContexts_;
};

StandinServer* Load::server_ = nullptr;
std::shared_ptr<HttpTransport>* Load::transport_ = nullptr;

TEST_F(Load, ManyCallsFromEightThreadsEachGetTheirOwnResultOnceOnOneLibraryThread) {
  const std::size_t calls = callCount();
  int mostLibraryThreads = 0;

  // A warm-up round makes the one-time allocations (thread, connections, caches, parsers).
  const std::size_t warmUpCalls = std::min<std::size_t>(calls, 800);
  auto warmUp = runRound(warmUpCalls, 1, mostLibraryThreads);
  expectRoundCorrect(*warmUp, warmUpCalls);
  const std::size_t before = testing::residentBytes();
  const std::size_t heapBefore = testing::heapBytesInUse();

  const auto started = std::chrono::steady_clock::now();
  auto round = runRound(calls, 2, mostLibraryThreads);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  expectRoundCorrect(*round, calls);

  // By the time one more call has its answer, a late second delivery would have run too.
  const CallOutcome last =
      testing::awaitCall(Operation::timezone, places_.front(), sharedContexts_.front());
  EXPECT_FALSE(last.error) << testing::describe(last.error);
  for (std::size_t id = 0; id < calls; ++id) {
    ASSERT_EQ(round->deliveries[id].load(), 1) << "call " << id;
  }

  EXPECT_EQ(mostLibraryThreads, 1);
  EXPECT_EQ(testing::threadsNamed(CurlTransport::kLibraryThreadName), 1);

  const std::size_t after = testing::residentBytes();
  const std::size_t heapAfter = testing::heapBytesInUse();
  const auto mib = [](std::size_t bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); };
  const double heapGrowthMiB = mib(heapAfter) - mib(heapBefore);
  const auto seen = server_->counters();
  std::printf(
      "load: %zu calls in %.1f s (%.0f calls/s), %lld requests over %lld connections in all; "
      "heap in use %.1f MiB -> %.1f MiB, resident memory %.1f MiB -> %.1f MiB\n",
      calls, seconds, static_cast<double>(calls) / seconds, static_cast<long long>(seen.requests),
      static_cast<long long>(seen.connections), mib(heapBefore), mib(heapAfter), mib(before),
      mib(after));
  // Measured as heap in use, not resident memory: after thousands of calls at once, the
  // allocator keeps most of their freed memory, fragmented, for later.
  if (kMeasureMemory && heapBefore > 0 && heapAfter > 0) {
    // Anything kept per call (a request, a reply, a manager) would be kilobytes per call.
    const double boundMiB = 4.0 + static_cast<double>(calls) * 64.0 / (1024.0 * 1024.0);
    EXPECT_LT(heapGrowthMiB, boundMiB) << "heap memory in use grew after the calls had ended";
  }
}

}  // namespace
}  // namespace orvane::site
