#include "orvane/site/RedisRateLimiter.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <csignal>
#include <memory>
#include <optional>
#include <stdexcept>
#include <thread>

#include "support/PermitTimes.h"
#include "support/RedisServer.h"

namespace orvane::site::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;
using std::chrono::seconds;
using Options = RedisRateLimiter::Options;

Options quotaOn(const RedisServer& server, const std::string& quota, double rate = 100.0,
                std::size_t burst = 5) {
  Options options;
  options.port = server.port();
  options.quotaName = quota;
  options.permitsPerSecond = rate;
  options.burst = burst;
  options.fallbackPermitsPerSecond = rate / 4;
  options.reconnectBackoff = milliseconds(50);
  options.reconnectBackoffMax = milliseconds(200);
  // Time-outs have tests of their own; elsewhere a busy machine must not cause a fallback.
  options.requestTimeout = milliseconds(1000);
  return options;
}

// Takes `count` permits, one after another, waiting for each as a client would.
std::vector<PermitClock::time_point> usePermits(RateLimiter& limiter, int count) {
  std::vector<PermitClock::time_point> times;
  for (int i = 0; i < count; ++i) {
    const auto useAt = takePermit(limiter);
    if (!useAt) {
      ADD_FAILURE() << "permit " << i << " got no grant within 2 s";
      break;
    }
    times.push_back(*useAt);
    std::this_thread::sleep_until(*useAt);
  }
  return times;
}

// Asks for `count` permits at once and returns when each may be used, in order: the limiter's
// schedule, whatever the speed of the machine.
std::vector<PermitClock::time_point> askAtOnce(RateLimiter& limiter, int count) {
  auto times = std::make_shared<std::vector<PermitClock::time_point>>();
  auto mutex = std::make_shared<std::mutex>();
  for (int i = 0; i < count; ++i) {
    limiter.acquire([times, mutex](nanoseconds wait) {
      std::lock_guard<std::mutex> lock(*mutex);
      times->push_back(PermitClock::now() + wait);
    });
  }
  const auto deadline = PermitClock::now() + seconds(2);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(*mutex);
      if (times->size() == static_cast<std::size_t>(count)) break;
    }
    if (PermitClock::now() > deadline) {
      ADD_FAILURE() << "not every permit got its grant within 2 s";
      return {};
    }
    std::this_thread::sleep_for(milliseconds(1));
  }
  std::lock_guard<std::mutex> lock(*mutex);
  std::sort(times->begin(), times->end());
  return *times;
}

// Permits per second after the burst.
double perSecond(const std::vector<PermitClock::time_point>& times) {
  if (times.size() < 7) return 0.0;
  const std::chrono::duration<double> span = times.back() - times[5];
  return static_cast<double>(times.size() - 6) / span.count();
}

void expectRate(double measured, double rate) { EXPECT_NEAR(measured, rate, rate * 0.05); }

TEST(RedisRateLimiterOptions, BadSettingsAreRefusedWithAClearMessage) {
  struct Case {
    const char* what;
    void (*change)(Options&);
    const char* message;
  };
  const Case cases[] = {
      {"empty quota", [](Options& o) { o.quotaName.clear(); }, "quota name is empty"},
      {"zero rate", [](Options& o) { o.permitsPerSecond = 0; },
       "permitsPerSecond must be positive"},
      {"negative rate", [](Options& o) { o.permitsPerSecond = -5; }, "permitsPerSecond"},
      {"rate NaN", [](Options& o) { o.permitsPerSecond = std::nan(""); }, "permitsPerSecond"},
      {"zero burst", [](Options& o) { o.burst = 0; }, "burst must be at least 1"},
      {"no fallback rate", [](Options& o) { o.fallbackPermitsPerSecond = 0; },
       "fallbackPermitsPerSecond must be positive"},
      {"zero fallback burst", [](Options& o) { o.fallbackBurst = 0; }, "fallbackBurst"},
      {"port", [](Options& o) { o.port = 70000; }, "port"},
      {"no host", [](Options& o) { o.host.clear(); }, "host"},
      {"user without password", [](Options& o) { o.user = "alice"; }, "password"},
      {"zero time-out", [](Options& o) { o.requestTimeout = milliseconds(0); }, "requestTimeout"},
      {"backoff order", [](Options& o) { o.reconnectBackoffMax = milliseconds(1); }, "Backoff"},
  };
  for (const Case& c : cases) {
    Options options;
    options.quotaName = "q";
    options.permitsPerSecond = 10;
    options.fallbackPermitsPerSecond = 2;
    c.change(options);
    try {
      RedisRateLimiter limiter(options);
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const std::invalid_argument& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos)
          << c.what << ": " << error.what();
    }
  }
}

// Four limiters (as four processes would have) ask for all their permits at once: the shared
// bucket spreads them over the quota's time, whatever limiter asks.
TEST(RedisRateLimiter, LimitersSharingAQuotaStayWithinRateAndBurst) {
  RedisServer server;
  constexpr int kLimiters = 4;
  constexpr int kPermits = 250;
  std::vector<std::unique_ptr<RedisRateLimiter>> limiters;
  for (int i = 0; i < kLimiters; ++i) {
    limiters.push_back(std::make_unique<RedisRateLimiter>(quotaOn(server, "bulk")));
  }
  std::mutex mutex;
  std::vector<PermitClock::time_point> times;
  std::atomic<int> granted{0};
  std::vector<std::thread> threads;
  for (auto& limiter : limiters) {
    threads.emplace_back([&, raw = limiter.get()] {
      for (int i = 0; i < kPermits; ++i) {
        raw->acquire([&](nanoseconds wait) {
          std::lock_guard<std::mutex> lock(mutex);
          times.push_back(PermitClock::now() + wait);
          ++granted;
        });
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const auto deadline = PermitClock::now() + seconds(5);
  while (granted < kLimiters * kPermits && PermitClock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(5));
  }
  std::lock_guard<std::mutex> lock(mutex);
  ASSERT_EQ(times.size(), static_cast<std::size_t>(kLimiters * kPermits));
  for (auto& limiter : limiters) EXPECT_FALSE(limiter->usingFallback());
  // Rate plus burst, and one permit for the jitter of the grants' delivery (at most one
  // interval here): the use times are taken where the grants arrive, not at Redis.
  EXPECT_LE(mostInWindow(times, seconds(1)), 106U);
  std::sort(times.begin(), times.end());
  const std::chrono::duration<double> span = times.back() - times.front();
  EXPECT_NEAR(span.count(), (kLimiters * kPermits - 5) / 100.0, 0.05 * 9.95);
}

TEST(RedisRateLimiter, FallsBackWhenRedisStopsAndReturnsWhenItIsBack) {
  RedisServer server;
  auto changes = std::make_shared<ChangeLog>();
  Options options = quotaOn(server, "restart");
  options.observer = changes;
  RedisRateLimiter limiter(options);

  usePermits(limiter, 10);
  expectRate(perSecond(askAtOnce(limiter, 50)), 100.0);
  EXPECT_FALSE(limiter.usingFallback());

  server.stop();
  // No permit waits for the missing server: each grant comes within 2 s, one after another.
  usePermits(limiter, 10);
  EXPECT_TRUE(limiter.usingFallback());
  expectRate(perSecond(askAtOnce(limiter, 40)), 25.0);

  server.start();
  ASSERT_TRUE(changes->waitForChanges(2, milliseconds(2000)));
  usePermits(limiter, 10);
  EXPECT_FALSE(limiter.usingFallback());
  expectRate(perSecond(askAtOnce(limiter, 50)), 100.0);

  const auto told = changes->changes();
  ASSERT_EQ(told.size(), 2U);
  EXPECT_EQ(told[0].limiter, "restart");
  EXPECT_TRUE(told[0].fallback);
  EXPECT_FALSE(told[0].reason.empty());
  EXPECT_FALSE(told[1].fallback);
}

TEST(RedisRateLimiter, AFrozenRedisCostsAtMostTheTimeOutPerGrant) {
  RedisServer server;
  auto changes = std::make_shared<ChangeLog>();
  Options options = quotaOn(server, "frozen", 1000.0, 100);
  options.requestTimeout = milliseconds(50);
  options.observer = changes;
  RedisRateLimiter limiter(options);
  ASSERT_TRUE(takePermit(limiter));

  server.freeze();
  const auto asked = PermitClock::now();
  std::atomic<int> granted{0};
  for (int i = 0; i < 50; ++i) limiter.acquire([&](nanoseconds) { ++granted; });
  while (granted < 50 && PermitClock::now() - asked < seconds(2)) {
    std::this_thread::sleep_for(milliseconds(1));
  }
  EXPECT_EQ(granted, 50);
  // One request time-out (50 ms) for the batch under way, and room for a busy machine.
  EXPECT_LT(PermitClock::now() - asked, milliseconds(500));
  EXPECT_TRUE(limiter.usingFallback());

  server.thaw();
  ASSERT_TRUE(changes->waitForChanges(2, milliseconds(2000)));
  EXPECT_FALSE(limiter.usingFallback());
}

TEST(RedisRateLimiter, UnreachableRedisFallsBackOnceAndGrantsEveryPermit) {
  auto changes = std::make_shared<ChangeLog>();
  Options options;
  options.port = 1;  // nothing listens there
  options.quotaName = "nowhere";
  options.permitsPerSecond = 100;
  options.fallbackPermitsPerSecond = 1000;
  options.observer = changes;
  RedisRateLimiter limiter(options);
  for (int i = 0; i < 20; ++i) ASSERT_TRUE(takePermit(limiter)) << i;
  EXPECT_TRUE(limiter.usingFallback());
  std::this_thread::sleep_for(milliseconds(300));  // a few reconnection attempts
  const auto told = changes->changes();
  ASSERT_EQ(told.size(), 1U);
  EXPECT_TRUE(told[0].fallback);
  EXPECT_NE(told[0].reason.find("connect"), std::string::npos) << told[0].reason;
}

TEST(RedisRateLimiter, ScriptErrorsFallBackAndLostScriptsOrKeysDoNot) {
  RedisServer server;
  auto changes = std::make_shared<ChangeLog>();
  Options options = quotaOn(server, "damaged", 10.0, 1);  // the key lives 100 ms per permit
  options.observer = changes;
  RedisRateLimiter limiter(options);
  ASSERT_TRUE(takePermit(limiter));

  // Redis forgets the script (restart, failover, SCRIPT FLUSH): EVAL takes over, no fallback.
  EXPECT_EQ(server.command({"SCRIPT", "FLUSH"}), "+OK");
  ASSERT_TRUE(takePermit(limiter));
  // The key is evicted or deleted: the bucket starts full again.
  EXPECT_EQ(server.command({"DEL", "orvane-site:quota:damaged"}), ":1");
  ASSERT_TRUE(takePermit(limiter));
  // A value the script did not write (no expiry) does not hold permits back.
  EXPECT_EQ(server.command({"SET", "orvane-site:quota:damaged", "99999999999999999"}), "+OK");
  const auto asked = PermitClock::now();
  const auto useAt = takePermit(limiter);
  ASSERT_TRUE(useAt);
  EXPECT_LT(*useAt - asked, milliseconds(500));
  // Redis restarted while the limiter was idle: a fresh connection, no fallback.
  server.stop();
  server.start();
  ASSERT_TRUE(takePermit(limiter));
  EXPECT_FALSE(limiter.usingFallback());
  EXPECT_TRUE(changes->changes().empty());

  // Something else took the key: the script fails, permits come from the local bucket.
  server.command({"DEL", "orvane-site:quota:damaged"});
  EXPECT_EQ(server.command({"HSET", "orvane-site:quota:damaged", "f", "v"}), ":1");
  ASSERT_TRUE(takePermit(limiter));
  ASSERT_TRUE(changes->waitForChanges(1, milliseconds(1000)));
  EXPECT_TRUE(limiter.usingFallback());
  EXPECT_NE(changes->changes()[0].reason.find("WRONGTYPE"), std::string::npos)
      << changes->changes()[0].reason;

  server.command({"DEL", "orvane-site:quota:damaged"});
  ASSERT_TRUE(changes->waitForChanges(2, milliseconds(1000)));
  ASSERT_TRUE(takePermit(limiter));
  EXPECT_FALSE(limiter.usingFallback());
}

TEST(RedisRateLimiter, SlowDownHoldsBackEveryLimiterOfTheQuota) {
  RedisServer server;
  RedisRateLimiter asked(quotaOn(server, "pause"));
  RedisRateLimiter other(quotaOn(server, "pause"));
  ASSERT_TRUE(takePermit(asked));
  ASSERT_TRUE(takePermit(other));

  const auto paused = PermitClock::now();
  asked.slowDown(milliseconds(400));
  const auto own = takePermit(asked);
  ASSERT_TRUE(own);
  EXPECT_GE(*own - paused, milliseconds(400));
  std::this_thread::sleep_for(milliseconds(50));  // the pause reaches Redis first
  const auto next = takePermit(other);
  ASSERT_TRUE(next);
  EXPECT_GE(*next - paused, milliseconds(380));
  EXPECT_LT(*next - paused, milliseconds(600));
}

TEST(RedisRateLimiter, UnixSocketWithAclUserAndPassword) {
  RedisServer server(
      {"--user", "fleet", "on", ">s3cret-pw", "~*", "+@all", "--requirepass", "default-pw"});
  auto changes = std::make_shared<ChangeLog>();
  Options options = quotaOn(server, "acl");
  options.unixSocket = server.unixSocket();
  options.user = "fleet";
  options.password = "s3cret-pw";
  {
    RedisRateLimiter limiter(options);
    ASSERT_TRUE(takePermit(limiter));
    EXPECT_FALSE(limiter.usingFallback());
  }
  EXPECT_EQ(server.command({"EXISTS", "orvane-site:quota:acl"}, "default-pw"), ":1");

  options.password = "wrong-pw";
  options.observer = changes;
  RedisRateLimiter refused(options);
  ASSERT_TRUE(takePermit(refused));
  EXPECT_TRUE(refused.usingFallback());
  ASSERT_TRUE(changes->waitForChanges(1, milliseconds(1000)));
  const std::string reason = changes->changes()[0].reason;
  EXPECT_NE(reason.find("WRONGPASS"), std::string::npos) << reason;
  EXPECT_EQ(reason.find("wrong-pw"), std::string::npos) << reason;
}

TEST(RedisRateLimiter, DestroyingTheLimiterGrantsEveryWaitingPermitOnce) {
  RedisServer server;
  std::atomic<int> calls{0};
  {
    Options options = quotaOn(server, "drain", 1000.0, 10);
    options.requestTimeout = milliseconds(50);
    RedisRateLimiter limiter(options);
    ASSERT_TRUE(takePermit(limiter));
    server.freeze();
    for (int i = 0; i < 100; ++i) limiter.acquire([&](nanoseconds) { ++calls; });
  }
  EXPECT_EQ(calls, 100);
  server.thaw();
}

// Grants that hold the limiter (as a client's completion would) may drop its last reference on
// the limiter's own thread.
TEST(RedisRateLimiter, GrantsMayHoldTheLastReference) {
  RedisServer server;
  std::atomic<int> calls{0};
  {
    auto limiter = std::make_shared<RedisRateLimiter>(quotaOn(server, "owned", 10000.0, 100));
    ASSERT_TRUE(takePermit(*limiter));
    for (int i = 0; i < 20; ++i) {
      limiter->acquire([&calls, held = limiter](nanoseconds) { ++calls; });
    }
  }
  const auto deadline = PermitClock::now() + seconds(2);
  while (calls < 20 && PermitClock::now() < deadline) std::this_thread::sleep_for(milliseconds(1));
  EXPECT_EQ(calls, 20);
}

// fork() copies the limiter but not its thread: the child draws on the local bucket, and
// destroying the copy neither waits for the missing thread nor touches the parent's connection.
TEST(RedisRateLimiter, AForkedChildUsesTheLocalBucketAndLeavesTheParentsConnection) {
  RedisServer server;
  std::optional<RedisRateLimiter> limiter(std::in_place, quotaOn(server, "forked"));
  ASSERT_TRUE(takePermit(*limiter));
  ASSERT_FALSE(limiter->usingFallback());

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    const bool ok = takePermit(*limiter).has_value() && limiter->usingFallback();
    limiter.reset();
    _exit(ok ? 0 : 1);
  }
  int status = -1;
  for (int i = 0; i < 300 && waitpid(child, &status, WNOHANG) == 0; ++i) {
    std::this_thread::sleep_for(milliseconds(10));
  }
  if (status == -1) kill(child, SIGKILL);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child got no permit in time";
  ASSERT_TRUE(takePermit(*limiter));
  EXPECT_FALSE(limiter->usingFallback()) << "the child disturbed the parent's connection";
}

}  // namespace
}  // namespace orvane::site::testing
