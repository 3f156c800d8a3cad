// The response cache over real HTTPS against the stand-in: a hundred identical calls at once
// make one request, a repeat within the lifetime none, and a repeat after it one more; the
// tool's batch with --cache asks each distinct row once.
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
#include "tool_fixture.h"

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

class BatchWithCache : public tool_test::ToolTest {};

TEST_F(BatchWithCache, EachDistinctRowIsAskedOnceAndTheSummaryCountsTheRest) {
  constexpr std::size_t kDistinct = 7;  // tool_fixture's cities: rows i and i + 7 differ in number
  std::string csv = "id,address\n";
  for (std::size_t i = 0; i < 3 * kDistinct; ++i) {
    csv += std::to_string(i) + ",\"1 Main Street, " + tool_test::kCities[i % kDistinct] + "\"\n";
  }
  tool_test::writeFile(path("in.csv"), csv);
  const std::string key =
      tool_test::StandinServer::faultKey(tool_test::StandinOptions::kDemoKey, {}, "cache");
  const tool_test::ToolRun run =
      finish(start({"geocode", "--input", path("in.csv"), "--output", path("out.csv"), "--no-memo",
                    "--cache", "1M", "--no-progress"},
                   key));
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(server_->requestsForKey(key), static_cast<std::int64_t>(kDistinct));
  EXPECT_NE(run.err.find("21 found"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find(std::to_string(2 * kDistinct) + " calls saved"), std::string::npos)
      << run.err;
}

}  // namespace
}  // namespace orvane::site::testkit
