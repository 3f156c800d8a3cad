// Option clients over real HTTPS: deadlines that hold while connections are busy, cancellation
// that frees a connection, and shutdown with calls under way.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/Shutdown.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/internal/SiteRequestManager.h"
#include "orvane/site/standin/certificate.h"
#include "support/LocalHttpsServer.h"
#include "support/OperationCalls.h"
#include "support/Sanitized.h"

namespace orvane::site::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char* kReply = R"({"returnCode":"0","returnDesc":"OK"})";

const standin::Certificate& certificate() {
  static const standin::Certificate kCertificate = standin::Certificate::generate();
  return kCertificate;
}

std::shared_ptr<CurlTransport> trustingTransport() {
  CurlTransportOptions options;
  options.caInfoPem = certificate().caPem();
  return std::make_shared<CurlTransport>(options);
}

ClientOptions optionsFor(const LocalHttpsServer& server) {
  ClientOptions options;
  options.setApiKey("KEY").setHost(server.host()).setTransport(trustingTransport());
  options.setRetryPolicy(RetryPolicy().setMaxAttempts(1)).setAttemptTimeout(30s).setDeadline(30s);
  return options;
}

TimezoneRequest someRequest() { return TimezoneRequest(Coordinate(1, 2), 1700000000, "en"); }

std::int64_t codeOf(TransportErrorCode code) { return static_cast<std::int64_t>(code); }

// Requests for timestamp 1 are held (32 of them fill every connection the library opens to one
// host); the rest are answered at once.
ScriptedReply holdFirst32(const ReceivedRequest& request, std::size_t /*index*/) {
  ScriptedReply reply;
  reply.body = kReply;
  reply.neverAnswer = request.body.find("\"timestamp\":1,") != std::string::npos ||
                      request.body.find("\"timestamp\":1}") != std::string::npos;
  return reply;
}

TimezoneRequest heldRequest() { return TimezoneRequest(Coordinate(1, 2), 1, std::nullopt); }

std::vector<Call<TimezoneResponse>> fillConnections(SiteClient& client,
                                                    const LocalHttpsServer& server) {
  std::vector<Call<TimezoneResponse>> held;
  for (int i = 0; i < 32; ++i) held.push_back(client.timezone(heldRequest()));
  const auto until = Clock::now() + 10s;
  while (server.requestCount() < 32 && Clock::now() < until) std::this_thread::sleep_for(10ms);
  EXPECT_EQ(server.requestCount(), 32U);
  return held;
}

TEST(OptionClientIntegration, ACallBehind32HeldExchangesEndsByItsDeadline) {
  LocalHttpsServer server(certificate().certPem(), certificate().keyPem(), holdFirst32, 48);
  SiteClient client(optionsFor(server));
  auto held = fillConnections(client, server);

  const auto start = Clock::now();
  auto late = client.timezone(someRequest(), CallOptions().setDeadline(1s).setAttemptTimeout(1s));
  Result<TimezoneResponse> result = late.get();
  const auto took = Clock::now() - start;
  EXPECT_FALSE(result.ok());
  EXPECT_GE(took, 900ms);
  EXPECT_LE(took, 1200ms);

  // The facade's call waits in the same queue; its time-out counts the wait and holds too.
  auto manager = SiteRequestManager::create(server.host(), "mapApi/v1/x", nullptr);
  manager->setTransport(trustingTransport());
  manager->setParams(std::map<std::string, std::string>{{"key", "KEY"}});
  manager->setTimeoutInterval(1.5);
  std::promise<Clock::time_point> ended;
  const auto facadeStart = Clock::now();
  manager->build([&ended](std::optional<Error>, std::optional<std::string>) {
    ended.set_value(Clock::now());
  });
  const auto facadeTook = ended.get_future().get() - facadeStart;
  EXPECT_LE(facadeTook, 1700ms);
  for (auto& call : held) call.cancel();
}

TEST(OptionClientIntegration, CancellingHeldCallsFreesTheirConnectionsAtOnce) {
  LocalHttpsServer server(certificate().certPem(), certificate().keyPem(), holdFirst32, 48);
  SiteClient client(optionsFor(server));
  auto held = fillConnections(client, server);
  for (auto& call : held) call.cancel();
  for (auto& call : held) EXPECT_EQ(call.get().error().code, codeOf(TransportErrorCode::cancelled));

  const auto start = Clock::now();
  Result<TimezoneResponse> result = client.timezone(someRequest()).get();
  EXPECT_TRUE(result.ok()) << result.error().localizedDescription;
  EXPECT_LE(Clock::now() - start, 500ms);
}

// shutdown() ends the library thread for good, so it runs in a process of its own.
void shutDownWithCallsUnderWay() {
  LocalHttpsServer server(certificate().certPem(), certificate().keyPem(), holdFirst32, 48);
  std::atomic<int> handled{0};
  std::atomic<int> cancelled{0};
  {
    SiteClient client(optionsFor(server));
    for (int i = 0; i < 4; ++i) {
      client.timezone(heldRequest(), CallOptions(), [&](Result<TimezoneResponse> result) {
        ++handled;
        if (result.error().code == codeOf(TransportErrorCode::cancelled)) ++cancelled;
      });
    }
    auto quick = client.timezone(someRequest());
    if (!quick.get().ok()) std::exit(2);
    orvane::site::shutdown(300ms);
    if (handled.load() != 4 || cancelled.load() != 4) std::exit(3);
    if (threadsNamed(CurlTransport::kLibraryThreadName) != 0) std::exit(4);
    Result<TimezoneResponse> after = client.timezone(someRequest()).get();
    if (after.error().code != codeOf(TransportErrorCode::libraryShutDown)) std::exit(5);
  }
  std::exit(handled.load() == 4 ? 0 : 6);
}

TEST(OptionClientIntegrationDeathTest, ShutdownCancelsCallsAndStopsTheLibraryThread) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(shutDownWithCallsUnderWay(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace orvane::site::testing
