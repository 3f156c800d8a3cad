// Several processes share one quota: each runs the quota client helper, which takes its permits
// one after another from its own RedisRateLimiter and prints when it used each.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "orvane/site/redis.h"
#include "support/LocalProcess.h"
#include "support/PermitTimes.h"
#include "support/RedisServer.h"

namespace orvane::site::testkit {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

struct FleetRun {
  std::vector<PermitClock::time_point> useTimes;
  int localPermits = 0;
  bool allExited = true;
};

// Runs `processes` quota clients at once; each takes `permits` from the quota its index names.
FleetRun runFleet(const RedisServer& server, int processes, int permits, double rate, int burst,
                  const std::function<std::string(int)>& quotaOf) {
  const auto start = PermitClock::now() + milliseconds(500);
  const std::string startText = std::to_string(start.time_since_epoch().count());
  std::vector<pid_t> children;
  std::vector<std::string> outputs;
  for (int i = 0; i < processes; ++i) {
    outputs.push_back(::testing::TempDir() + "/orvane-quota-client-" + std::to_string(getpid()) +
                      "-" + std::to_string(i) + ".txt");
    children.push_back(spawnProcess(
        {ORVANE_SITE_REDIS_QUOTA_CLIENT, std::to_string(server.port()), quotaOf(i),
         std::to_string(rate), std::to_string(burst), std::to_string(permits), startText},
        {"/dev/null", outputs.back(), "/dev/null"}));
  }

  FleetRun run;
  for (pid_t child : children) {
    if (child == 0 || waitForProcess(child, seconds(120)).exitCode != 0) run.allExited = false;
  }
  for (const std::string& output : outputs) {
    std::ifstream in(output);
    std::string word;
    while (in >> word) {
      if (word == "local") {
        int count = 0;
        in >> count;
        run.localPermits += count;
      } else {
        run.useTimes.emplace_back(std::chrono::nanoseconds(std::stoll(word)));
      }
    }
    std::remove(output.c_str());
  }
  return run;
}

double spanSeconds(std::vector<PermitClock::time_point> times) {
  std::sort(times.begin(), times.end());
  return std::chrono::duration<double>(times.back() - times.front()).count();
}

// Four processes x 250 permits, one 100/s quota with a burst of 5: no second holds more than
// 105 permits (and one for the jitter of the grants' delivery to the processes), and the run takes
// (1000 - 5) / 100 s within 5%. The same processes each with a quota of their own overshoot the
// rate four times.
TEST(FleetQuota, FourProcessesShareOneQuotaAndOwnQuotasOvershoot) {
  RedisServer server;
  const FleetRun shared = runFleet(server, 4, 250, 100.0, 5, [](int) { return "fleet"; });
  ASSERT_TRUE(shared.allExited);
  ASSERT_EQ(shared.useTimes.size(), 1000U);
  EXPECT_EQ(shared.localPermits, 0);
  EXPECT_LE(mostInWindow(shared.useTimes, seconds(1)), 106U);
  EXPECT_NEAR(spanSeconds(shared.useTimes), 9.95, 0.05 * 9.95);

  const FleetRun alone =
      runFleet(server, 4, 250, 100.0, 5, [](int i) { return "own-" + std::to_string(i); });
  ASSERT_TRUE(alone.allExited);
  ASSERT_EQ(alone.useTimes.size(), 1000U);
  EXPECT_GT(mostInWindow(alone.useTimes, seconds(1)), 3 * 105U);
  EXPECT_LT(spanSeconds(alone.useTimes), 3.0);
}

// A day-long pause asked in this process (a hostile Retry-After) reaches Redis capped: another
// process sharing the quota waits out the cap, no longer, and the key does not outlive it.
TEST(FleetQuota, ADayLongSlowDownHoldsAnotherProcessOnlyForTheCap) {
  RedisServer server;
  RedisRateLimiter::Options options;
  options.port = server.port();
  options.quotaName = "capped";
  options.permitsPerSecond = 100.0;
  options.burst = 1;
  options.fallbackPermitsPerSecond = 25.0;
  options.requestTimeout = milliseconds(1000);
  options.longestSlowDown = seconds(1);
  RedisRateLimiter asked(options);
  ASSERT_TRUE(takePermit(asked));

  const auto paused = PermitClock::now();
  asked.slowDown(std::chrono::hours(24));
  long long timeToLive = -2;
  for (int i = 0; i < 100 && timeToLive < 500; ++i) {  // until the pause has reached Redis
    const std::string reply = server.command({"PTTL", "orvane-site:quota:capped"});
    timeToLive = reply.size() > 1 ? std::stoll(reply.substr(1)) : -2;
    if (timeToLive < 500) std::this_thread::sleep_for(milliseconds(5));
  }
  EXPECT_GE(timeToLive, 500) << "the pause never reached Redis";
  EXPECT_LE(timeToLive, 2000) << "the shared key outlives the cap";

  const FleetRun other = runFleet(server, 1, 1, 100.0, 1, [](int) { return "capped"; });
  ASSERT_TRUE(other.allExited) << "the other process got no permit within 2 s";
  ASSERT_EQ(other.useTimes.size(), 1U);
  EXPECT_EQ(other.localPermits, 0);
  EXPECT_GE(other.useTimes[0] - paused, milliseconds(950)) << "the pause was not shared";
  EXPECT_LT(other.useTimes[0] - paused, milliseconds(1800));
}

}  // namespace
}  // namespace orvane::site::testkit
