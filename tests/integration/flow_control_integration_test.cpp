// A token bucket paces what an option client sends over real HTTPS: the burst goes at once, the
// rest at the rate. Its exact schedule is checked on fake time (token_bucket_test).
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TokenBucket.h"
#include "support/Sanitized.h"
#include "support/StandinClient.h"

namespace orvane::site::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TEST(FlowControlIntegration, ATokenBucketPacesWhatReachesTheServer) {
  constexpr int kCalls = 400;
  standin::StandinServer server;
  server.start();
  // A connection the server closes just as the client reuses it is not what this test is about,
  // so such a call goes again.
  SiteClient client(
      standinClientOptions(server, standin::StandinOptions::kDemoKey, nullptr, 60s)
          .setRateLimiter(std::make_shared<TokenBucket>(200.0, 10))
          .setRetryPolicy(
              RetryPolicy().setMaxAttempts(3).setInitialPause(0s).setRetryConnectionFailures(
                  true)));
  std::vector<Call<TimezoneResponse>> calls;
  const auto start = Clock::now();
  for (int i = 0; i < kCalls; ++i) {
    calls.push_back(client.timezone(TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en")));
  }
  for (auto& call : calls) {
    const auto result = call.get();
    EXPECT_TRUE(result.ok()) << result.error().localizedDescription;
  }
  const auto elapsed = Clock::now() - start;
  EXPECT_GE(server.counters().requests, kCalls);
  // (400 - 10) / 200 = 1.95 s.
  EXPECT_GE(elapsed, 1850ms);
  EXPECT_LE(elapsed, kSanitized ? 2800ms : 2400ms);
}

}  // namespace
}  // namespace orvane::site::testing
