// The library thread and libcurl under faults: a wake-up libcurl cannot make, memory running out
// while a transfer is registered, replies beyond their cap or the transport's reply budget, and
// process exit while a handler still runs.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "internal/AllocationFault.h"
#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/certificate.h"
#include "support/LocalHttpsServer.h"

namespace orvane::site::testing {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

const standin::Certificate& certificate() {
  static const standin::Certificate kCertificate = standin::Certificate::generate();
  return kCertificate;
}

// Waits for the outcome of one GET of `url`.
HttpOutcome get(HttpTransport& transport, const std::string& url) {
  HttpRequest request;
  request.method = "GET";
  request.url = url;
  request.timeoutSeconds = 20;
  auto done = std::make_shared<std::promise<HttpOutcome>>();
  auto outcome = done->get_future();
  transport.send(request, [done](HttpOutcome result) { done->set_value(std::move(result)); });
  if (outcome.wait_for(seconds(30)) != std::future_status::ready) {
    ADD_FAILURE() << "no completion for " << url;
    return HttpOutcome{};
  }
  return outcome.get();
}

TEST(TransportFaults, OutOfMemoryWhileRegisteringATransferEndsItWithItsCompletion) {
  CurlTransport transport;
  internal::armAllocationFault(internal::AllocationSite::transferRegistration);
  const HttpOutcome outcome =
      get(transport, "https://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/");
  internal::armAllocationFault(internal::AllocationSite::none);
  EXPECT_EQ(outcome.failure, HttpOutcome::Failure::otherFailure);
  EXPECT_NE(outcome.failureDetail.find("out of memory"), std::string::npos)
      << outcome.failureDetail;
  // The loop goes on: the next transfer reaches its own end.
  EXPECT_EQ(get(transport, "https://127.0.0.1:" + std::to_string(unusedLocalPort()) + "/").failure,
            HttpOutcome::Failure::connectionFailed);
}

TEST(TransportFaults, RepliesBeyondTheCapOrTheBudgetFailAndTheBudgetIsGivenBack) {
  constexpr std::size_t kMiB = std::size_t{1} << 20;
  LocalHttpsServer server(certificate().certPem(), certificate().keyPem(),
                          [](const ReceivedRequest& request, std::size_t) {
                            const std::size_t size = std::stoul(request.target.substr(1));
                            return ScriptedReply{200, std::string(size, 'x')};
                          });
  const std::string url = "https://" + server.host() + "/";

  CurlTransportOptions defaults;
  defaults.caInfoPem = certificate().caPem();
  CurlTransport capped(defaults);
  EXPECT_EQ(get(capped, url + std::to_string(8 * kMiB)).body.size(), 8 * kMiB);
  const HttpOutcome tooLarge = get(capped, url + std::to_string(8 * kMiB + 1));
  EXPECT_EQ(tooLarge.failure, HttpOutcome::Failure::otherFailure);
  EXPECT_NE(tooLarge.failureDetail.find("larger than 8388608 bytes"), std::string::npos)
      << tooLarge.failureDetail;

  CurlTransportOptions budgeted = defaults;
  budgeted.maxResponseBytes = 0;
  budgeted.maxResponseBytesInAll = kMiB;
  CurlTransport transport(budgeted);
  const HttpOutcome overBudget = get(transport, url + std::to_string(kMiB + 1));
  EXPECT_EQ(overBudget.failure, HttpOutcome::Failure::otherFailure);
  EXPECT_NE(overBudget.failureDetail.find("1048576 bytes in all"), std::string::npos)
      << overBudget.failureDetail;
  // Each reply gives its bytes back once handed on: one after another, all fit.
  for (int i = 0; i < 3; ++i) {
    const HttpOutcome fits = get(transport, url + std::to_string(kMiB * 3 / 4));
    EXPECT_EQ(fits.failure, HttpOutcome::Failure::none) << fits.failureDetail;
    EXPECT_EQ(fits.body.size(), kMiB * 3 / 4);
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
