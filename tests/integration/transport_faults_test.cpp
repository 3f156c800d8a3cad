// The library thread and libcurl under faults: a wake-up libcurl cannot make, memory running out
// while a transfer is registered, replies beyond their cap or the transport's reply budget, and
// process exit while a handler still runs.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "internal/AllocationFault.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/standin_server.h"
#include "support/LocalProcess.h"
#include "support/SendAndWait.h"

namespace orvane::site::testing {
namespace {

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
  standin::StandinServer server;
  server.start();
  const std::string url = server.baseUrl() + standin::StandinServer::operationPath("geocode") +
                          "?key=" + standin::StandinOptions::kDemoKey;
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
}  // namespace orvane::site::testing
