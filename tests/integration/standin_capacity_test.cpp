// The kit's stand-in keeps up with a client's connections, and neither the kit nor the program
// shares a port another server listens on.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/testing/Standin.h"
#include "support/LocalProcess.h"

namespace orvane::site::testkit {
namespace {

using namespace std::chrono_literals;

TEST(StandinCapacity, SixtyFourConcurrentSlowCallsAllSucceed) {
  Standin standin;
  const std::string key = standin.apiKeyWithFaults({StandinFault::delay(50ms)});
  // Two clients: each opens up to 32 connections to the host by default.
  SiteClient first(standin.clientOptions().setApiKey(key).setDeadline(3s));
  SiteClient second(standin.clientOptions().setApiKey(key).setDeadline(3s));
  const TimezoneRequest request(Coordinate(48.85, 2.35), 1700000000, "en");
  std::vector<Call<TimezoneResponse>> calls;
  for (int i = 0; i < 32; ++i) {
    calls.push_back(first.timezone(request));
    calls.push_back(second.timezone(request));
  }
  int ok = 0;
  for (auto& call : calls) ok += call.get().ok() ? 1 : 0;
  EXPECT_EQ(ok, 64);
  EXPECT_EQ(standin.requestCount(), 64);
}

TEST(StandinCapacity, APortInUseIsRefusedByTheKitAndTheProgram) {
  Standin taken;
  Standin::Options options;
  options.port = taken.port();
  try {
    Standin second(options);
    ADD_FAILURE() << "a second stand-in started on port " << taken.port();
  } catch (const std::runtime_error& refused) {
    EXPECT_NE(std::string(refused.what()).find(std::to_string(taken.port())), std::string::npos)
        << refused.what();
  }

  const std::string err = ::testing::TempDir() + "standin-port.err";
  Redirections redirections;
  redirections.err = err;
  const pid_t program = spawnProcess(
      {ORVANE_SITE_STANDIN_PATH, "--port", std::to_string(taken.port())}, redirections);
  ASSERT_NE(program, 0);
  EXPECT_EQ(waitForProcess(program, std::chrono::seconds(20)).exitCode, 1);
  std::stringstream message;
  message << std::ifstream(err).rdbuf();
  EXPECT_NE(message.str().find("cannot bind 127.0.0.1:" + std::to_string(taken.port())),
            std::string::npos)
      << message.str();
}

}  // namespace
}  // namespace orvane::site::testkit
