// Cancellation racing the delivery of the same call, from other threads: every handler runs
// exactly once, with the reply or with "cancelled", and get() agrees with it.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/FakeTransport.h"

namespace orvane::site {
namespace {

TEST(CallCancelRace, EveryHandlerRunsOnceWhetherCancelOrReplyWins) {
  constexpr int kCalls = 4000;
  // A worker answers each request as soon as it is sent; no timer fires (no deadline ends a call).
  auto transport = std::make_shared<testkit::FakeTransport>();
  std::atomic<bool> stop{false};
  std::thread worker([&] {
    while (!stop) {
      if (transport->runPosted() == 0 && !transport->reply(200, R"({"returnCode":"0"})")) {
        std::this_thread::yield();
      }
    }
  });
  std::vector<std::atomic<int>> handled(kCalls);
  std::vector<std::atomic<std::int64_t>> codes(kCalls);
  std::vector<Call<TimezoneResponse>> calls(kCalls);
  std::atomic<int> published{0};
  {
    SiteClient client(ClientOptions().setApiKey("KEY").setTransport(transport));
    std::thread canceller([&] {
      for (int i = 0; i < kCalls; ++i) {
        while (published.load(std::memory_order_acquire) <= i) std::this_thread::yield();
        calls[static_cast<std::size_t>(i)].cancel();
      }
    });
    for (int i = 0; i < kCalls; ++i) {
      const auto at = static_cast<std::size_t>(i);
      calls[at] = client.timezone(TimezoneRequest(Coordinate(1, 2), i, std::nullopt), CallOptions(),
                                  [&, at](Result<TimezoneResponse> result) {
                                    codes[at] = result.ok() ? 0 : result.error().code;
                                    ++handled[at];
                                  });
      published.store(i + 1, std::memory_order_release);
    }
    canceller.join();
    for (auto& call : calls) call.get();
  }
  stop = true;
  worker.join();
  transport->runPosted();  // handlers posted after the worker's last round
  transport->dropPending();
  int cancelled = 0;
  for (int i = 0; i < kCalls; ++i) {
    const auto at = static_cast<std::size_t>(i);
    ASSERT_EQ(handled[at].load(), 1) << "call " << i;
    const std::int64_t code = codes[at].load();
    ASSERT_TRUE(code == 0 || code == static_cast<std::int64_t>(TransportErrorCode::cancelled));
    EXPECT_EQ(calls[at].get().ok(), code == 0);
    cancelled += code != 0;
  }
  RecordProperty("cancelled", cancelled);
}

}  // namespace
}  // namespace orvane::site
