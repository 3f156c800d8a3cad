// Logging to standard output that nobody reads must not hold up calls: the log's own thread
// blocks on the full pipe, its queue fills and further lines are dropped, while calls go on.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <optional>
#include <string>

#include "logging/Logger.h"
#include "orvane/site.h"
#include "orvane/site/standin/standin_server.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;
using standin::StandinOptions;
using standin::StandinServer;

enum ChildFailure { kSlowCall = 2, kNoDelivery = 3, kCallFailed = 4, kNothingDropped = 5 };

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

}  // namespace
}  // namespace orvane::site
