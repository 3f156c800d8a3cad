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
  const double bad[] = {0.0, -1.0, std::numeric_limits<double>::infinity(),
                        std::numeric_limits<double>::quiet_NaN()};
  for (double rate : bad) {
    try {
      TokenBucket bucket(rate, 1);
      ADD_FAILURE() << "accepted rate " << rate;
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find("permitsPerSecond"), std::string::npos) << e.what();
    }
  }
  try {
    TokenBucket bucket(10.0, 0);
    ADD_FAILURE() << "accepted burst 0";
  } catch (const std::invalid_argument& e) {
    EXPECT_NE(std::string(e.what()).find("burst"), std::string::npos) << e.what();
  }
  EXPECT_THROW(TokenBucket(1.0, 1, TokenBucket::Clock()), std::invalid_argument);
}

TEST(TokenBucket, BurstAtOnceThenSteadyRate) {
  testing::FakeClock clock;
  TokenBucket bucket(200.0, 10, clock.reader());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(take(bucket), 0ns) << i;
  // Reservations: each further permit is due one interval (5 ms) after the one before.
  for (int i = 1; i <= 990; ++i) EXPECT_EQ(take(bucket), nanoseconds(i * 5'000'000LL)) << i;
  // 1,000 permits at 200/s with a burst of 10: the last one is due after 4.95 s.
}

TEST(TokenBucket, QuietTimeRefillsUpToTheBurstOnly) {
  testing::FakeClock clock;
  TokenBucket bucket(10.0, 3, clock.reader());
  for (int i = 0; i < 3; ++i) EXPECT_EQ(take(bucket), 0ns);
  EXPECT_EQ(take(bucket), 100ms);
  clock.advance(1h);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(take(bucket), 0ns);
  EXPECT_EQ(take(bucket), 100ms);
  // Half an interval later, the fifth permit is due 150 ms after now... minus the 50 ms passed.
  clock.advance(50ms);
  EXPECT_EQ(take(bucket), 150ms);
}

TEST(TokenBucket, SlowDownPushesTheNextPermitAndSpendsTheBurst) {
  testing::FakeClock clock;
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
