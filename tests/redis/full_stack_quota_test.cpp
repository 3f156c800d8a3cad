// Calls of four processes, each with its own SiteClient and RedisRateLimiter on one quota, reach
// the stand-in within the quota.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "orvane/site/standin/standin_server.h"
#include "support/LocalProcess.h"
#include "support/PermitTimes.h"
#include "support/RedisServer.h"

namespace orvane::site::testing {
namespace {

TEST(FleetQuota, CallsOfFourProcessesReachTheServerWithinTheQuota) {
  constexpr int kProcesses = 4;
  constexpr int kCalls = 150;
  RedisServer redis;
  standin::StandinServer server;
  server.start();

  const auto start = PermitClock::now() + std::chrono::milliseconds(500);
  std::vector<pid_t> children;
  for (int i = 0; i < kProcesses; ++i) {
    children.push_back(
        spawnProcess({ORVANE_SITE_REDIS_CALL_CLIENT, std::to_string(redis.port()), "calls", "100",
                      "5", std::to_string(kCalls), std::to_string(start.time_since_epoch().count()),
                      server.host(), server.caFile().string()}));
    ASSERT_NE(children.back(), 0);
  }
  for (pid_t child : children) {
    EXPECT_EQ(waitForProcess(child, std::chrono::seconds(120)).exitCode, 0)
        << "a call client failed";
  }
  const double span = std::chrono::duration<double>(PermitClock::now() - start).count();

  // Every attempt, retries included, took a permit: never faster than the quota after its
  // burst (per-process limiters would take a quarter of it); slower only as far as a busy
  // machine makes each process's calls (one after another) slower than its share.
  const auto arrivals = server.counters().requests;
  ASSERT_GE(arrivals, kProcesses * kCalls);
  const double expected = static_cast<double>(arrivals - 5) / 100.0;
  EXPECT_GE(span, 0.95 * expected);
  EXPECT_LE(span, 1.25 * expected);
}

}  // namespace
}  // namespace orvane::site::testing
