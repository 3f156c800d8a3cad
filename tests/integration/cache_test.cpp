// The response cache over real HTTPS against the stand-in: a hundred identical calls at once
// make one request, a repeat within the lifetime none, and a repeat after it one more.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/ResponseCache.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/testing/Standin.h"

namespace orvane::site::testkit {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto kLifetime = 200ms;
constexpr int kThreads = 4;
constexpr int kCallsPerThread = 25;

TEST(ResponseCacheOverHttps, OneRequestForManyIdenticalCallsAndOneMoreAfterTheLifetime) {
  Standin standin;
  auto cache =
      std::make_shared<ResponseCache>(ResponseCacheOptions().setLifetime("timezone", kLifetime));
  SiteClient client(standin.clientOptions().setResponseCache(cache));
  const TimezoneRequest request(Coordinate(48.8566, 2.3522), 1700000000, "en");
  auto requests = [&] { return standin.requestsForKey(standin.apiKey()); };

  std::vector<std::vector<Call<TimezoneResponse>>> calls(kThreads);
  {
    std::vector<std::thread> threads;
    for (auto& mine : calls) {
      threads.emplace_back([&client, &request, &mine] {
        for (int i = 0; i < kCallsPerThread; ++i) mine.push_back(client.timezone(request));
      });
    }
    for (auto& thread : threads) thread.join();
  }
  for (const auto& mine : calls) {
    for (const auto& call : mine) {
      const Result<TimezoneResponse> result = call.get();
      ASSERT_TRUE(result.ok()) << result.error().localizedDescription;
      EXPECT_EQ(result.value()->timeZoneId, "Europe/Paris");
    }
  }
  const Clock::time_point kept = Clock::now();  // the entry was kept before the first answer
  EXPECT_EQ(requests(), 1);

  ASSERT_TRUE(client.timezone(request).get().ok());
  if (Clock::now() < kept + kLifetime) {
    EXPECT_EQ(requests(), 1);  // a slow machine may be past it
  }

  std::this_thread::sleep_until(kept + kLifetime + 50ms);
  ASSERT_TRUE(client.timezone(request).get().ok());
  EXPECT_EQ(requests(), 2);
}

}  // namespace
}  // namespace orvane::site::testkit
