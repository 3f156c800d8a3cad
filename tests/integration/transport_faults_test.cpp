// The library thread and libcurl under faults: memory running out while a transfer is
// registered, replies beyond their cap or the transport's reply budget, a standard output that
// nobody reads, and process exit while a handler still runs.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "internal/AllocationFault.h"
#include "logging/Logger.h"
#include "orvane/site.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/standin_server.h"
#include "support/LocalProcess.h"
#include "support/SendAndWait.h"

namespace orvane::site::testkit {
namespace {

using namespace std::chrono_literals;
using standin::StandinOptions;
using standin::StandinServer;

// One request to `url`: a POST of `body` when there is one.
HttpOutcome send(HttpTransport& transport, const std::string& url, const std::string& body = "") {
  return sendAndWait(transport, url, body.empty() ? "GET" : "POST", body);
}

TEST(TransportFaults, OutOfMemoryWhileRegisteringATransferEndsItWithItsCompletion) {
  CurlTransport transport;
  internal::armAllocationFault(internal::AllocationSite::transferRegistration);
  const HttpOutcome outcome =
      send(transport, "https://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/");
  internal::armAllocationFault(internal::AllocationSite::none);
  EXPECT_EQ(outcome.failure, HttpOutcome::Failure::otherFailure);
  EXPECT_NE(outcome.failureDetail.find("out of memory"), std::string::npos)
      << outcome.failureDetail;
  // The loop goes on: the next transfer reaches its own end.
  EXPECT_EQ(send(transport, "https://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/").failure,
            HttpOutcome::Failure::connectionFailed);
}

TEST(TransportFaults, RepliesBeyondTheCapOrTheBudgetFailAndTheBudgetIsGivenBack) {
  StandinServer server;
  server.start();
  const std::string url = server.baseUrl() + StandinServer::operationPath("geocode") +
                          "?key=" + StandinOptions::kDemoKey;
  const std::string body = R"({"address":"Paris"})";
  CurlTransportOptions options;
  options.caInfoPem = server.certificate().caPem();
  const std::size_t size = send(*std::make_shared<CurlTransport>(options), url, body).body.size();
  ASSERT_GT(size, 100u);

  options.maxResponseBytes = size;
  EXPECT_EQ(send(*std::make_shared<CurlTransport>(options), url, body).body.size(), size);
  options.maxResponseBytes = size - 1;
  const HttpOutcome tooLarge = send(*std::make_shared<CurlTransport>(options), url, body);
  EXPECT_EQ(tooLarge.failure, HttpOutcome::Failure::otherFailure);
  EXPECT_NE(tooLarge.failureDetail.find("larger than " + std::to_string(size - 1) + " bytes"),
            std::string::npos)
      << tooLarge.failureDetail;

  options.maxResponseBytes = 0;
  options.maxResponseBytesInAll = size - 1;
  const HttpOutcome overBudget = send(*std::make_shared<CurlTransport>(options), url, body);
  EXPECT_EQ(overBudget.failure, HttpOutcome::Failure::otherFailure);
  EXPECT_NE(overBudget.failureDetail.find(std::to_string(size - 1) + " bytes in all"),
            std::string::npos)
      << overBudget.failureDetail;
  // Each reply gives its bytes back once handed on: one after another, all fit.
  options.maxResponseBytesInAll = size * 3 / 2;
  CurlTransport budgeted(options);
  for (int i = 0; i < 3; ++i) {
    const HttpOutcome fits = send(budgeted, url, body);
    EXPECT_EQ(fits.failure, HttpOutcome::Failure::none) << fits.failureDetail;
    EXPECT_EQ(fits.body.size(), size);
  }
}

enum ChildFailure { kSlowCall = 2, kNoDelivery = 3, kCallFailed = 4, kNothingDropped = 5 };

// Logging to standard output that nobody reads must not hold up calls: the log's own thread
// blocks on the full pipe, its queue fills and further lines are dropped, while calls go on.
// Runs in a fresh child process (its standard output is its own to take over).
[[noreturn]] void callWithStandardOutputBlocked() {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0 || dup2(pipeEnds[1], STDOUT_FILENO) < 0) std::_Exit(1);
  // The reading end stays open and unread: writes to standard output block once it is full.

  StandinServer server(StandinOptions{});
  server.start();
  CurlTransportOptions options;
  options.caInfoFile = server.caFile().string();
  setDefaultHttpTransport(std::make_shared<CurlTransport>(options));
  auto context = ApiContext()
                     .setApiKey(StandinOptions::kDemoKey)
                     .setBaseUrl(server.host())
                     .setMaxRetry(0)
                     .setTimeoutInterval(2.0)
                     .build();

  // Far more than a pipe holds: the log's thread is stuck from here on.
  const std::string filler(1024, 'f');
  for (int i = 0; i < 12000; ++i) ORVANE_SITE_LOG("fill", std::string(filler), internal::kInfo);

  int code = 0;
  for (int call = 0; call < 20 && code == 0; ++call) {
    auto done = std::make_shared<std::promise<bool>>();
    auto delivered = done->get_future();
    const auto start = std::chrono::steady_clock::now();
    SiteClient::shared().timezone(
        TimezoneRequest(Coordinate(48.8566, 2.3522), 1704067200, "en"), context,
        [done](std::shared_ptr<TimezoneResponse> response, std::optional<Error> error) {
          done->set_value(response && !error);
        });
    if (delivered.wait_for(10s) != std::future_status::ready) {
      code = kNoDelivery;
    } else if (!delivered.get()) {
      code = kCallFailed;
    } else if (std::chrono::steady_clock::now() - start > 1s) {
      code = kSlowCall;  // a loopback call takes milliseconds; a blocked log would take forever
    }
  }
  if (code == 0 && droppedLogLines() == 0) code = kNothingDropped;
  setDefaultHttpTransport(nullptr);
  server.stop();
  // Normal exit: the exit flush gives up on the stuck pipe instead of hanging.
  std::exit(code);
}

TEST(LogToUnreadPipe, CallsFinishOnTimeAndExitDoesNotHang) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(callWithStandardOutputBlocked(), ::testing::ExitedWithCode(0), "");
}

TEST(TransportFaults, ExitWhileAHandlerRunsRunsNothingAfterIt) {
  // The helper's output (stderr joined to stdout) names any task that ran after exit began.
  const std::string command = std::string(ORVANE_SITE_EXIT_HELPER_PATH) + " 2>&1";
  std::FILE* helper = ::popen(command.c_str(), "r");
  ASSERT_NE(helper, nullptr);
  std::string output;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, helper)) output += buffer;
  const int status = ::pclose(helper);
  ASSERT_TRUE(WIFEXITED(status)) << output;
  EXPECT_EQ(WEXITSTATUS(status), 0) << output;
  EXPECT_EQ(output.find("late task ran"), std::string::npos) << output;
  EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
}

}  // namespace
}  // namespace orvane::site::testkit
