#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <vector>

#include "orvane/site/TokenBucket.h"
#include "support/FakeClock.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;
using std::chrono::nanoseconds;

// Reserves one permit and returns the wait it was granted; fails if grant is not called once.
nanoseconds take(TokenBucket& bucket) {
  int grants = 0;
  nanoseconds wait{-1};
  bucket.acquire([&](nanoseconds granted) {
    ++grants;
    wait = granted;
  });
  EXPECT_EQ(grants, 1);
  return wait;
}

TEST(TokenBucket, RefusesBadSettingsWithClearMessages) {
  auto refusal = [](double rate, std::size_t burst) -> std::string {
    try {
      TokenBucket bucket(rate, burst);
    } catch (const std::invalid_argument& e) {
      return e.what();
    }
    return "accepted";
  };
  for (double rate : {0.0, -1.0, std::numeric_limits<double>::infinity(),
                      std::numeric_limits<double>::quiet_NaN()}) {
    EXPECT_NE(refusal(rate, 1).find("permitsPerSecond"), std::string::npos) << rate;
  }
  EXPECT_NE(refusal(10.0, 0).find("burst"), std::string::npos);
  EXPECT_THROW(TokenBucket(1.0, 1, TokenBucket::Clock()), std::invalid_argument);
}

// A burst at once, then one permit each interval; quiet time refills up to the burst only.
TEST(TokenBucket, QuietTimeRefillsUpToTheBurstOnly) {
  testkit::FakeClock clock;
  TokenBucket bucket(200.0, 10, clock.reader());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(take(bucket), 0ns) << i;
  for (int i = 1; i <= 990; ++i) EXPECT_EQ(take(bucket), nanoseconds(i * 5'000'000LL)) << i;
  clock.advance(1h);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(take(bucket), 0ns);
  EXPECT_EQ(take(bucket), 5ms);
  // Half an interval later, the next permit falls due 10 ms after the refill, 7.5 ms from now.
  clock.advance(2500us);
  EXPECT_EQ(take(bucket), 7500us);
}

TEST(TokenBucket, SlowDownPushesTheNextPermitAndSpendsTheBurst) {
  testkit::FakeClock clock;
  TokenBucket bucket(10.0, 5, clock.reader());
  EXPECT_EQ(take(bucket), 0ns);
  bucket.slowDown(2s);
  EXPECT_EQ(take(bucket), 2s);
  EXPECT_EQ(take(bucket), 2100ms);  // steady rate after the pause, no burst
  // A shorter pause than what is already scheduled changes nothing; non-positive ones neither.
  bucket.slowDown(1s);
  bucket.slowDown(-5s);
  bucket.slowDown(0s);
  EXPECT_EQ(take(bucket), 2200ms);
  // Once the schedule has caught up, the burst is back.
  clock.advance(10s);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(take(bucket), 0ns);
  // However long a reply asks for, one slow-down pauses a minute at most (or what the owner set).
  bucket.slowDown(nanoseconds::max());
  EXPECT_EQ(take(bucket), 60s);
  clock.advance(120s);
  bucket.setLongestSlowDown(5s);
  bucket.slowDown(86400s);
  EXPECT_EQ(take(bucket), 5s);
  clock.advance(120s);
  bucket.setLongestSlowDown(0s);  // slow-downs ignored
  bucket.slowDown(86400s);
  EXPECT_EQ(take(bucket), 0ns);
  EXPECT_THROW(bucket.setLongestSlowDown(-1s), std::invalid_argument);
}

}  // namespace
}  // namespace orvane::site
