// Three tenants' option clients on one transport, one tenant's key slowed to 3 s a reply: the
// other two keep their own connections and their calls stay fast, with the default options.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/SiteClient.h"
#include "support/StandinClient.h"

namespace orvane::site::testkit {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr auto kHealthyP99Bound = 1500ms;
#else
constexpr auto kHealthyP99Bound = 1000ms;
#endif
constexpr int kCallsPerTenant = 300;

TEST(TenantIsolation, ASlowTenantTakesNoOtherTenantsConnections) {
  standin::StandinOptions options;
  options.workerThreads = 128;  // every tenant's 32 connections and room to spare
  standin::StandinServer server(options);
  server.start();
  const auto transport = transportTrusting(server);
  const std::string demo = standin::StandinOptions::kDemoKey;
  const std::string slowKey = standin::StandinServer::faultKey(demo, {"delay-3000"});
  auto client = [&](const std::string& key) {
    return std::make_unique<SiteClient>(
        ClientOptions().setApiKey(key).setHost(server.host()).setTransport(transport));
  };
  auto slow = client(slowKey);
  auto alpha = client(standin::StandinServer::faultKey(demo, {}, "alpha"));
  auto beta = client(standin::StandinServer::faultKey(demo, {}, "beta"));

  const TimezoneRequest request(Coordinate(48.85, 2.35), 1700000000, "en");
  std::vector<Call<TimezoneResponse>> slowCalls;
  for (int i = 0; i < kCallsPerTenant; ++i) slowCalls.push_back(slow->timezone(request));
  // The slow tenant holds its connections before the others begin.
  const auto until = Clock::now() + 10s;
  while (server.requestsForKey(slowKey) < 32 && Clock::now() < until) {
    std::this_thread::sleep_for(10ms);
  }
  ASSERT_EQ(server.requestsForKey(slowKey), 32);

  for (SiteClient* healthy : {alpha.get(), beta.get()}) {
    SCOPED_TRACE(healthy == alpha.get() ? "alpha" : "beta");
    std::vector<Call<TimezoneResponse>> calls;
    std::vector<Clock::duration> took;
    const auto start = Clock::now();
    for (int i = 0; i < kCallsPerTenant; ++i) calls.push_back(healthy->timezone(request));
    int ok = 0;
    for (auto& call : calls) {
      ok += call.get().ok() ? 1 : 0;
      took.push_back(Clock::now() - start);
    }
    EXPECT_EQ(ok, kCallsPerTenant);
    std::sort(took.begin(), took.end());
    const auto p99 =
        std::chrono::duration_cast<std::chrono::milliseconds>(took[took.size() * 99 / 100]);
    EXPECT_LT(p99.count(), kHealthyP99Bound.count()) << "p99 in ms";
  }
}

}  // namespace
}  // namespace orvane::site::testkit
