#include "LocalBucket.h"

#include <gtest/gtest.h>

namespace orvane::site::redis {
namespace {

using std::chrono::milliseconds;
using std::chrono::nanoseconds;

TEST(LocalBucket, BurstThenOnePermitPerInterval) {
  LocalBucket bucket(10.0, 3);  // one every 100 ms, three at once
  const LocalBucket::Clock::time_point start{std::chrono::seconds(1000)};
  EXPECT_EQ(bucket.reserve(start), nanoseconds::zero());
  EXPECT_EQ(bucket.reserve(start), nanoseconds::zero());
  EXPECT_EQ(bucket.reserve(start), nanoseconds::zero());
  EXPECT_EQ(bucket.reserve(start), milliseconds(100));
  EXPECT_EQ(bucket.reserve(start), milliseconds(200));
  // Reservations are kept: 50 ms later the next one still waits its turn.
  EXPECT_EQ(bucket.reserve(start + milliseconds(50)), milliseconds(250));
  // After a quiet time the whole burst is back, no more.
  const auto later = start + std::chrono::seconds(10);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(bucket.reserve(later), nanoseconds::zero());
  EXPECT_EQ(bucket.reserve(later), milliseconds(100));
}

TEST(LocalBucket, HoldDelaysEveryPermitAndDropsTheBurst) {
  LocalBucket bucket(10.0, 3);
  const LocalBucket::Clock::time_point start{std::chrono::seconds(1000)};
  bucket.holdUntil(start + milliseconds(500));
  EXPECT_EQ(bucket.reserve(start), milliseconds(500));
  EXPECT_EQ(bucket.reserve(start), milliseconds(600));
  // A hold earlier than the reservations already made changes nothing.
  bucket.holdUntil(start + milliseconds(100));
  EXPECT_EQ(bucket.reserve(start), milliseconds(700));
}

}  // namespace
}  // namespace orvane::site::redis
