// The library thread under faults: a wake-up libcurl cannot make, and process exit while a
// handler still runs.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "orvane/site/internal/CurlTransport.h"
#include "orvane/site/standin/certificate.h"
#include "support/LocalHttpsServer.h"
#include "transport/LoopWaker.h"

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

bool runsWithin(HttpTransport& transport, std::chrono::nanoseconds delay, seconds bound) {
  auto ran = std::make_shared<std::promise<void>>();
  auto future = ran->get_future();
  if (delay.count() == 0) {
    transport.post([ran] { ran->set_value(); });
  } else {
    transport.runAfter(delay, [ran] { ran->set_value(); });
  }
  return future.wait_for(bound) == std::future_status::ready;
}

TEST(TransportFaults, PostedWorkRunsPromptlyWhenLibcurlCannotWakeTheLoop) {
  CurlTransport transport;
  ASSERT_TRUE(runsWithin(transport, {}, seconds(20)));  // the loop runs, then waits idle
  transport::LoopWaker::failLibcurlWakeupForTesting(true);
  std::this_thread::sleep_for(milliseconds(200));
  // Unwoken, the loop would sleep through its idle wait of a minute.
  EXPECT_TRUE(runsWithin(transport, {}, seconds(5)));
  std::this_thread::sleep_for(milliseconds(200));
  EXPECT_TRUE(runsWithin(transport, milliseconds(50), seconds(5)));
  transport::LoopWaker::failLibcurlWakeupForTesting(false);
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
