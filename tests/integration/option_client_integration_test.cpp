// Option clients over real HTTPS: the 32 connections the library opens to one host at most,
// deadlines that hold while they are busy, cancellation that frees them, shutdown with calls
// under way, calls from a forked child, and a hostile Retry-After: a pause of two days asked by one
// reply reaches the limiter bounded to one day, holds the limiter that clients share for no longer
// than its cap, and only when the reply was a 429 or a 503.
#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/RateLimiter.h"
#include "orvane/site/Shutdown.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TokenBucket.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/internal/SiteRequestManager.h"
#include "support/StandinClient.h"

namespace orvane::site::testkit {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using standin::StandinOptions;
using standin::StandinServer;

TimezoneRequest someRequest() { return TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en"); }

std::int64_t codeOf(TransportErrorCode code) { return static_cast<std::int64_t>(code); }

// The threads of this process with `name`, cut to the 15 characters Linux keeps.
int threadsNamed(const std::string& name) {
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(tasks)) {
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string threadName;
    if (entry->d_name[0] != '.' && std::getline(comm, threadName) &&
        threadName == name.substr(0, 15)) {
      ++count;
    }
  }
  ::closedir(tasks);
  return count;
}

// A stand-in with more workers than the 32 connections the transport may open to the host, and
// two clients sharing those connections: calls of `held` wait 20 s for their answer, those of
// `quick` are answered at once.
struct HeldAndQuick {
  static StandinOptions options() {
    StandinOptions options;
    options.workerThreads = 48;
    return options;
  }
  StandinServer server{options()};
  const bool started = (server.start(), true);
  std::shared_ptr<CurlTransport> transport = [this] {
    CurlTransportOptions options;
    options.caInfoPem = server.certificate().caPem();
    options.connectionLimits = ConnectionLimits{32, 128};
    return std::make_shared<CurlTransport>(options);
  }();
  const std::string heldKey = StandinServer::faultKey(StandinOptions::kDemoKey, {"delay-20000"});
  SiteClient held{standinClientOptions(server, heldKey, transport)};
  SiteClient quick{standinClientOptions(server, StandinOptions::kDemoKey, transport)};
};

std::vector<Call<TimezoneResponse>> fillConnections(HeldAndQuick& clients) {
  std::vector<Call<TimezoneResponse>> held;
  for (int i = 0; i < 32; ++i) held.push_back(clients.held.timezone(someRequest()));
  const auto until = Clock::now() + 10s;
  while (clients.server.requestsForKey(clients.heldKey) < 32 && Clock::now() < until) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(clients.server.requestsForKey(clients.heldKey), 32);  // no fewer connections
  return held;
}

TEST(OptionClientIntegration, ACallBehind32HeldExchangesEndsByItsDeadline_CancelFreesThem) {
  HeldAndQuick clients;
  auto held = fillConnections(clients);

  const auto start = Clock::now();
  auto late =
      clients.quick.timezone(someRequest(), CallOptions().setDeadline(1s).setAttemptTimeout(1s));
  Result<TimezoneResponse> result = late.get();
  const auto took = Clock::now() - start;
  EXPECT_FALSE(result.ok()) << "a 33rd connection was opened";
  EXPECT_GE(took, 900ms);
  EXPECT_LE(took, 1200ms);

  // The facade's call waits in the same queue; its time-out counts the wait and holds too.
  auto manager = SiteRequestManager::create(clients.server.host(), "mapApi/v1/x", nullptr);
  manager->setTransport(clients.transport);
  manager->setParams(std::map<std::string, std::string>{{"key", "KEY"}});
  manager->setTimeoutInterval(1.5);
  std::promise<Clock::time_point> ended;
  const auto facadeStart = Clock::now();
  manager->build([&ended](std::optional<Error>, std::optional<std::string>) {
    ended.set_value(Clock::now());
  });
  const auto facadeTook = ended.get_future().get() - facadeStart;
  EXPECT_LE(facadeTook, 1700ms);

  // Cancelling the held calls frees their connections at once.
  for (auto& call : held) call.cancel();
  for (auto& call : held) EXPECT_EQ(call.get().error().code, codeOf(TransportErrorCode::cancelled));

  const auto freedStart = Clock::now();
  Result<TimezoneResponse> freed = clients.quick.timezone(someRequest()).get();
  EXPECT_TRUE(freed.ok()) << freed.error().localizedDescription;
  EXPECT_LE(Clock::now() - freedStart, 500ms);
}

// shutdown() ends the library thread for good, so it runs in a process of its own.
void shutDownWithCallsUnderWay() {
  std::atomic<int> handled{0};
  std::atomic<int> cancelled{0};
  {
    HeldAndQuick clients;
    SiteClient& client = clients.quick;
    for (int i = 0; i < 4; ++i) {
      clients.held.timezone(someRequest(), CallOptions(), [&](Result<TimezoneResponse> result) {
        ++handled;
        if (result.error().code == codeOf(TransportErrorCode::cancelled)) ++cancelled;
      });
    }
    auto quick = client.timezone(someRequest());
    if (!quick.get().ok()) std::exit(2);
    orvane::site::shutdown(300ms);
    if (handled.load() != 4 || cancelled.load() != 4) std::exit(3);
    if (threadsNamed(CurlTransport::kLibraryThreadName) != 0) std::exit(4);
    Result<TimezoneResponse> after = client.timezone(someRequest()).get();
    if (after.error().code != codeOf(TransportErrorCode::libraryShutDown)) std::exit(5);
  }
  std::exit(handled.load() == 4 ? 0 : 6);
}

TEST(OptionClientIntegrationDeathTest, ShutdownCancelsCallsAndStopsTheLibraryThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(shutDownWithCallsUnderWay(), ::testing::ExitedWithCode(0), "");
}

// A process that forks after the library started: the child's calls get a library thread and
// connections of their own, its exit does not wait for a thread it never had, and the parent's
// connection is left as it was. The child tells its parent through a pipe before it exits.
//
// LeakSanitizer's check at exit finds the parent's threads' memory, which no thread of the child
// refers to, and fails the child: under it the child ends without exit handlers.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kExitHandlersRun = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kExitHandlersRun = false;
#else
constexpr bool kExitHandlersRun = true;
#endif
#else
constexpr bool kExitHandlersRun = true;
#endif

enum ChildReport : char { kCallSucceeded = 'y', kCallFailed = 'n' };

TEST(ForkedChild, CallsWorkOnFreshConnectionsAndTheParentKeepsItsOwn) {
  StandinServer server;
  server.start();
  // The pool's threads stay in the parent.
  SiteClient client(
      standinClientOptions(server, StandinOptions::kDemoKey, nullptr, 2s).setHandlerThreads(2));
  ASSERT_TRUE(client.timezone(someRequest()).get().ok());
  const auto connectionsBeforeFork = server.connectionsAccepted();

  int report[2];
  ASSERT_EQ(pipe(report), 0);
  std::fflush(nullptr);  // the child must not write the parent's buffered output again
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(report[0]);
    const bool ok = client.timezone(someRequest()).get().ok();
    const char byte = ok ? kCallSucceeded : kCallFailed;
    (void)!write(report[1], &byte, 1);
    // exit, not _exit: its handlers must not wait for the library thread
    if (kExitHandlersRun) std::exit(ok ? 0 : 1);
    _exit(ok ? 0 : 1);
  }
  close(report[1]);
  char byte = 0;
  const auto waitedFrom = Clock::now();
  pollfd readable{report[0], POLLIN, 0};
  const bool reported = poll(&readable, 1, 10'000) == 1 && read(report[0], &byte, 1) == 1;
  const auto reportedAt = Clock::now();
  if (!reported) kill(child, SIGKILL);  // a child stuck on its call must not hold the test up
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  const auto exitTook = Clock::now() - reportedAt;
  close(report[0]);

  ASSERT_TRUE(reported) << "the child ended without a result";
  EXPECT_EQ(byte, kCallSucceeded);
  EXPECT_LT(reportedAt - waitedFrom, 2s) << "the child's call waited for its deadline";
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_LT(exitTook, 700ms) << "the child's exit waited for a library thread it does not have";
  EXPECT_EQ(server.connectionsAccepted(), connectionsBeforeFork + 1)
      << "the child did not open a connection of its own";

  // Had the child closed or used the parent's connection, this call would need a new one.
  ASSERT_TRUE(client.timezone(someRequest()).get().ok());
  EXPECT_EQ(server.connectionsAccepted(), connectionsBeforeFork + 1);
}

// The bucket that clients share, noting the longest pause it was asked for.
class NotingLimiter final : public RateLimiter {
 public:
  NotingLimiter() { bucket_->setLongestSlowDown(2s); }
  void acquire(Grant grant) override { bucket_->acquire(std::move(grant)); }
  void slowDown(std::chrono::nanoseconds pause) override {
    if (pause.count() > longestAsked.load()) longestAsked = pause.count();
    bucket_->slowDown(pause);
  }
  std::atomic<std::int64_t> longestAsked{0};

 private:
  std::shared_ptr<TokenBucket> bucket_ = std::make_shared<TokenBucket>(100.0, 1);
};

class RetryAfterIntegration : public ::testing::Test {
 protected:
  void SetUp() override { server_.start(); }

  Result<TimezoneResponse> callWith(const std::string& key) const {
    return SiteClient(standinClientOptions(server_, key, nullptr, 20s).setRateLimiter(limiter_))
        .timezone(TimezoneRequest(Coordinate(48.85, 2.35), 1719835200, "en"))
        .get();
  }

  // How long a healthy call through the shared limiter takes, which must succeed.
  Clock::duration healthyCall() const {
    const auto started = Clock::now();
    const auto result = callWith(StandinOptions::kDemoKey);
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().localizedDescription);
    return Clock::now() - started;
  }

  StandinServer server_;
  std::shared_ptr<NotingLimiter> limiter_ = std::make_shared<NotingLimiter>();
};

TEST_F(RetryAfterIntegration, TwoDaysAskedAreBoundedToOneAndHoldOnlyForTheCapAfterA429) {
  // A successful reply carrying the header asks nothing of the limiter.
  ASSERT_TRUE(
      callWith(StandinServer::faultKey(StandinOptions::kDemoKey, {"retryafter-172800"})).ok());
  EXPECT_LT(healthyCall(), 1s);
  EXPECT_EQ(limiter_->longestAsked.load(), 0);

  ASSERT_FALSE(callWith(StandinServer::faultKey(StandinOptions::kDemoKey,
                                                {"status-429", "retryafter-172800"}))
                   .ok());
  EXPECT_EQ(std::chrono::nanoseconds(limiter_->longestAsked.load()), 24h);
  const auto held = healthyCall();
  EXPECT_GE(held, 1500ms) << "the 429 did not slow the shared limiter";
  EXPECT_LT(held, 2s + 3s) << "the pause was not capped";
}

}  // namespace
}  // namespace orvane::site::testkit
