// A hostile Retry-After over real HTTPS: a pause of two days asked by one reply reaches the
// limiter bounded to one day, holds the limiter that clients share for no longer than its cap,
// and only when the reply was a 429 or a 503.
#if __has_include("orvane/site/standin/standin_server.h")

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "orvane/site/Call.h"
#include "orvane/site/RateLimiter.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TokenBucket.h"
#include "support/StandinClient.h"

namespace orvane::site::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using standin::StandinOptions;
using standin::StandinServer;

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
}  // namespace orvane::site::testing

#endif
