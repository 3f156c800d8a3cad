// Option clients over real HTTPS: the 32 connections the library opens to one host at most,
// deadlines that hold while they are busy, cancellation that frees them, and shutdown with calls
// under way.
#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <map>
#include <memory>
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
#include "support/StandinClient.h"

namespace orvane::site::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

TimezoneRequest someRequest() { return TimezoneRequest(Coordinate(48.85, 2.35), 1700000000, "en"); }

std::int64_t codeOf(TransportErrorCode code) { return static_cast<std::int64_t>(code); }

// The threads of this process with `name`, cut to the 15 characters Linux keeps.
int threadsNamed(const std::string& name) {
  DIR* tasks = ::opendir("/proc/self/task");
  if (tasks == nullptr) return -1;
  int count = 0;
  while (const dirent* entry = ::readdir(tasks)) {
    std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
    std::string threadName;
    if (entry->d_name[0] != '.' && std::getline(comm, threadName) &&
        threadName == name.substr(0, 15)) {
      ++count;
    }
  }
  ::closedir(tasks);
  return count;
}

// A stand-in with more workers than the 32 connections the library opens to one host, and two
// clients sharing one transport: calls of `held` wait 20 s for their answer, those of `quick`
// are answered at once.
struct HeldAndQuick {
  static standin::StandinOptions options() {
    standin::StandinOptions options;
    options.workerThreads = 48;
    return options;
  }
  standin::StandinServer server{options()};
  const bool started = (server.start(), true);
  std::shared_ptr<CurlTransport> transport = transportTrusting(server);
  const std::string heldKey =
      standin::StandinServer::faultKey(standin::StandinOptions::kDemoKey, {"delay-20000"});
  SiteClient held{standinClientOptions(server, heldKey, transport)};
  SiteClient quick{standinClientOptions(server, standin::StandinOptions::kDemoKey, transport)};
};

std::vector<Call<TimezoneResponse>> fillConnections(HeldAndQuick& clients) {
  std::vector<Call<TimezoneResponse>> held;
  for (int i = 0; i < 32; ++i) held.push_back(clients.held.timezone(someRequest()));
  const auto until = Clock::now() + 10s;
  while (clients.server.requestsForKey(clients.heldKey) < 32 && Clock::now() < until) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(clients.server.requestsForKey(clients.heldKey), 32);  // no fewer connections
  return held;
}

TEST(OptionClientIntegration, ACallBehind32HeldExchangesEndsByItsDeadline_CancelFreesThem) {
  HeldAndQuick clients;
  auto held = fillConnections(clients);

  const auto start = Clock::now();
  auto late =
      clients.quick.timezone(someRequest(), CallOptions().setDeadline(1s).setAttemptTimeout(1s));
  Result<TimezoneResponse> result = late.get();
  const auto took = Clock::now() - start;
  EXPECT_FALSE(result.ok()) << "a 33rd connection was opened";
  EXPECT_GE(took, 900ms);
  EXPECT_LE(took, 1200ms);

  // The facade's call waits in the same queue; its time-out counts the wait and holds too.
  auto manager = SiteRequestManager::create(clients.server.host(), "mapApi/v1/x", nullptr);
  manager->setTransport(clients.transport);
  manager->setParams(std::map<std::string, std::string>{{"key", "KEY"}});
  manager->setTimeoutInterval(1.5);
  std::promise<Clock::time_point> ended;
  const auto facadeStart = Clock::now();
  manager->build([&ended](std::optional<Error>, std::optional<std::string>) {
    ended.set_value(Clock::now());
  });
  const auto facadeTook = ended.get_future().get() - facadeStart;
  EXPECT_LE(facadeTook, 1700ms);

  // Cancelling the held calls frees their connections at once.
  for (auto& call : held) call.cancel();
  for (auto& call : held) EXPECT_EQ(call.get().error().code, codeOf(TransportErrorCode::cancelled));

  const auto freedStart = Clock::now();
  Result<TimezoneResponse> freed = clients.quick.timezone(someRequest()).get();
  EXPECT_TRUE(freed.ok()) << freed.error().localizedDescription;
  EXPECT_LE(Clock::now() - freedStart, 500ms);
}

// shutdown() ends the library thread for good, so it runs in a process of its own.
void shutDownWithCallsUnderWay() {
  std::atomic<int> handled{0};
  std::atomic<int> cancelled{0};
  {
    HeldAndQuick clients;
    SiteClient& client = clients.quick;
    for (int i = 0; i < 4; ++i) {
      clients.held.timezone(someRequest(), CallOptions(), [&](Result<TimezoneResponse> result) {
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
