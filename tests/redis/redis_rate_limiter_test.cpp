#include "orvane/site/RedisRateLimiter.h"

#include <gmock/gmock.h>
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

namespace orvane::site::testkit {
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
std::vector<PermitClock::time_point> askAtOnce(RateLimiter& limiter, std::size_t count) {
  struct Grants {
    std::mutex mutex;
    std::condition_variable given;
    std::vector<PermitClock::time_point> times;
  };
  auto grants = std::make_shared<Grants>();
  for (std::size_t i = 0; i < count; ++i) {
    limiter.acquire([grants](nanoseconds wait) {
      std::lock_guard<std::mutex> lock(grants->mutex);
      grants->times.push_back(PermitClock::now() + wait);
      grants->given.notify_all();
    });
  }
  std::unique_lock<std::mutex> lock(grants->mutex);
  if (!grants->given.wait_for(lock, seconds(2), [&] { return grants->times.size() == count; })) {
    ADD_FAILURE() << "not every permit got its grant within 2 s";
    return {};
  }
  std::sort(grants->times.begin(), grants->times.end());
  return grants->times;
}

// Permits per second after the burst.
double perSecond(const std::vector<PermitClock::time_point>& times) {
  if (times.size() < 7) return 0.0;
  const std::chrono::duration<double> span = times.back() - times[5];
  return static_cast<double>(times.size() - 6) / span.count();
}

void expectRate(double measured, double rate) { EXPECT_NEAR(measured, rate, rate * 0.05); }

// One setting of each kind; checkOptions lists them all.
TEST(RedisRateLimiterOptions, BadSettingsAreRefusedWithAClearMessage) {
  struct Case {
    const char* what;
    void (*change)(Options&);
    const char* message;
  };
  const Case cases[] = {
      {"empty quota", [](Options& o) { o.quotaName.clear(); }, "quota name is empty"},
      {"rate NaN", [](Options& o) { o.permitsPerSecond = std::nan(""); }, "permitsPerSecond"},
      {"zero burst", [](Options& o) { o.burst = 0; }, "burst must be at least 1"},
      {"zero fallback burst", [](Options& o) { o.fallbackBurst = 0; }, "fallbackBurst"},
      {"port", [](Options& o) { o.port = 70000; }, "port"},
      {"user without password", [](Options& o) { o.user = "alice"; }, "password"},
      {"backoff order", [](Options& o) { o.reconnectBackoffMax = milliseconds(1); }, "Backoff"},
  };
  for (const Case& c : cases) {
    Options options;
    options.quotaName = "q";
    options.permitsPerSecond = 10;
    options.fallbackPermitsPerSecond = 2;
    c.change(options);
    EXPECT_THAT([&] { RedisRateLimiter limiter(options); },
                ::testing::ThrowsMessage<std::invalid_argument>(::testing::HasSubstr(c.message)))
        << c.what;
  }
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
}  // namespace orvane::site::testkit
