// One response cache under calls from many threads at once: coalescing, hits, cancels and
// evictions race each other. Meant to run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvane/site.h"
#include "orvane/site/ResponseCacheOptions.h"
#include "orvane/site/testing/AutoAnsweringTransport.h"

namespace orvane::site {
namespace {

// Answers at once, but keeps timers that are due later from firing at once, as the kit's
// AutoAnsweringTransport does: a caller waiting on another's request must not reach its deadline.
class AnsweringWithoutDeadlines final : public HttpTransport {
 public:
  explicit AnsweringWithoutDeadlines(std::shared_ptr<testkit::AutoAnsweringTransport> inner)
      : inner_(std::move(inner)) {}
  void send(HttpRequest request, Completion completion) override {
    inner_->send(std::move(request), std::move(completion));
  }
  void runAfter(std::chrono::nanoseconds delay, Task task) override {
    if (delay <= std::chrono::nanoseconds::zero()) inner_->post(std::move(task));
  }
  void post(Task task) override { inner_->post(std::move(task)); }

 private:
  std::shared_ptr<testkit::AutoAnsweringTransport> inner_;
};

TEST(ResponseCacheConcurrency, ThreadsShareRequestsAndCancelWithoutLosingAResult) {
  auto answering = std::make_shared<testkit::AutoAnsweringTransport>([](const HttpRequest&) {
    return testkit::httpReply(
        200, R"({"returnCode":"0","returnDesc":"OK","timeZoneId":"Europe/Paris"})");
  });
  auto transport = std::make_shared<AnsweringWithoutDeadlines>(answering);
  // Small enough that the eight questions evict each other while they are asked.
  auto cache = std::make_shared<ResponseCache>(ResponseCacheOptions().setMaxBytes(3000));
  SiteClient client(ClientOptions().setApiKey("k").setTransport(transport).setResponseCache(cache));

  constexpr int kThreads = 4;
  constexpr int kCallsEach = 150;
  std::vector<int> unexpected(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kCallsEach; ++i) {
        auto call = client.timezone(TimezoneRequest(Coordinate(48.85, 2.35), i % 8, "en"));
        const bool cancelled = i % 3 == t % 3;
        if (cancelled) call.cancel();
        const Result<TimezoneResponse> result = call.get();
        const bool fine = result.ok() ? result.value()->timeZoneId == "Europe/Paris"
                                      : cancelled && transportErrorCode(result.error()) ==
                                                         TransportErrorCode::cancelled;
        if (!fine && unexpected[t]++ == 0 && !result.ok()) {
          ADD_FAILURE() << result.error().localizedDescription;
        }
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(unexpected[t], 0) << "thread " << t;
  EXPECT_LT(answering->requestCount(), static_cast<std::size_t>(kThreads * kCallsEach));
}

}  // namespace
}  // namespace orvane::site
