// One process of a fleet sharing a quota: takes COUNT permits one after another from a
// RedisRateLimiter, waits for each as a client would, and prints each permit's use time
// (steady clock, nanoseconds; the same clock in every process of the machine), then
// "local N": how many permits were taken while the limiter used its local fallback.
//
// Usage: orvane-site-redis-quota-client PORT QUOTA RATE BURST COUNT START_NS
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/redis.h"
#include "support/PermitTimes.h"

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr, "usage: %s PORT QUOTA RATE BURST COUNT START_NS\n", argv[0]);
    return 2;
  }
  using orvane::site::testkit::PermitClock;
  orvane::site::RedisRateLimiter::Options options;
  options.port = std::atoi(argv[1]);
  options.quotaName = argv[2];
  options.permitsPerSecond = std::atof(argv[3]);
  options.burst = static_cast<std::size_t>(std::atoi(argv[4]));
  options.fallbackPermitsPerSecond = options.permitsPerSecond / 4;
  // The fleet test checks sharing; a busy machine must not push it into the fallback.
  options.requestTimeout = std::chrono::milliseconds(1000);
  const int count = std::atoi(argv[5]);
  const PermitClock::time_point start{std::chrono::nanoseconds(std::atoll(argv[6]))};

  orvane::site::RedisRateLimiter limiter(options);
  std::this_thread::sleep_until(start);
  std::vector<PermitClock::time_point> useTimes;
  int local = 0;
  for (int i = 0; i < count; ++i) {
    if (limiter.usingFallback()) ++local;
    const auto useAt = orvane::site::testkit::takePermit(limiter);
    if (!useAt) {
      std::fprintf(stderr, "no grant within 2 s\n");
      return 1;
    }
    useTimes.push_back(*useAt);
    std::this_thread::sleep_until(*useAt);
  }
  for (const auto& useAt : useTimes) {
    std::printf("%lld\n", static_cast<long long>(useAt.time_since_epoch().count()));
  }
  std::printf("local %d\n", local);
  return 0;
}
