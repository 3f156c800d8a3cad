// Cancellation racing the delivery of the same call, from other threads: every handler runs
// exactly once, with the reply or with "cancelled", and get() agrees with it.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "orvane/site/Call.h"
#include "orvane/site/ClientOptions.h"
#include "orvane/site/SiteClient.h"
#include "orvane/site/TransportErrorCode.h"
#include "orvane/site/testing/HttpReplies.h"

namespace orvane::site {
namespace {

// Answers each request at once on its worker thread; timers are dropped (no deadline fires).
class ImmediateWorkerTransport final : public HttpTransport {
 public:
  ImmediateWorkerTransport() : worker_([this] { work(); }) {}
  ~ImmediateWorkerTransport() override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
  }
  void send(HttpRequest /*request*/, Completion completion) override {
    post([completion = std::move(completion)] {
      completion(testing::httpReply(200, R"({"returnCode":"0"})"));
    });
  }
  void runAfter(std::chrono::nanoseconds /*delay*/, Task /*task*/) override {}
  void post(Task task) override {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      tasks_.push_back(std::move(task));
    }
    changed_.notify_all();
  }

 private:
  void work() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      changed_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
      if (tasks_.empty()) return;
      Task task = std::move(tasks_.front());
      tasks_.pop_front();
      lock.unlock();
      task();
      lock.lock();
    }
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Task> tasks_;
  bool stopping_ = false;
  std::thread worker_;
};

TEST(CallCancelRace, EveryHandlerRunsOnceWhetherCancelOrReplyWins) {
  constexpr int kCalls = 4000;
  auto transport = std::make_shared<ImmediateWorkerTransport>();
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
  transport.reset();  // joins the worker: every posted handler has run
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
