// A hostile Retry-After over real HTTPS: a day-long pause asked by one reply holds the limiter
// that clients share for no longer than its cap, and only when the reply was a 429 or a 503.
#if __has_include("orvane/site/standin/standin_server.h")

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "orvane/site/Call.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TokenBucket.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/standin_server.h"

namespace orvane::site::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using standin::StandinOptions;
using standin::StandinServer;

class RetryAfterIntegration : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.start();
    bucket_->setLongestSlowDown(2s);
  }

  SiteClient clientWithKey(const std::string& key) const {
    CurlTransportOptions trust;
    trust.caInfoPem = server_.certificate().caPem();
    return SiteClient(ClientOptions()
                          .setApiKey(key)
                          .setHost(server_.host())
                          .setTransport(std::make_shared<CurlTransport>(trust))
                          .setRateLimiter(bucket_)
                          .setRetryPolicy(RetryPolicy().setMaxAttempts(1))
                          .setDeadline(20s));
  }

  // How long a healthy call through the shared bucket takes, which must succeed.
  Clock::duration healthyCall() const {
    SiteClient healthy = clientWithKey(StandinOptions::kDemoKey);
    const auto started = Clock::now();
    const auto result = healthy.timezone(paris()).get();
    EXPECT_TRUE(result.ok()) << (result.ok() ? "" : result.error().localizedDescription);
    return Clock::now() - started;
  }

  static TimezoneRequest paris() {
    return TimezoneRequest(Coordinate(48.85, 2.35), 1719835200, "en");
  }

  StandinServer server_;
  std::shared_ptr<TokenBucket> bucket_ = std::make_shared<TokenBucket>(100.0, 1);
};

TEST_F(RetryAfterIntegration, ADayLongPauseHoldsOnlyForTheCapAndOnlyAfterTooManyRequests) {
  // A successful reply carrying the header asks nothing of the limiter.
  const auto okWithHeader = StandinServer::faultKey(StandinOptions::kDemoKey, {"retryafter-86400"});
  ASSERT_TRUE(clientWithKey(okWithHeader).timezone(paris()).get().ok());
  EXPECT_LT(healthyCall(), 1s);

  const auto tooMany =
      StandinServer::faultKey(StandinOptions::kDemoKey, {"status-429", "retryafter-86400"});
  const auto refused = clientWithKey(tooMany).timezone(paris()).get();
  ASSERT_FALSE(refused.ok());
  const auto held = healthyCall();
  EXPECT_GE(held, 1500ms) << "the 429 did not slow the shared bucket";
  EXPECT_LT(held, 2s + 3s) << "the pause was not capped";
}

}  // namespace
}  // namespace orvane::site::testing

#endif
