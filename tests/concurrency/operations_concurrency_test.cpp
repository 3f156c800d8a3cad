// Overlapping calls from many threads, each reaching its own handler exactly once, and facades
// destroyed while their handlers run. Meant to run under ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "orvane/site.h"
#include "support/FakeTransport.h"

namespace orvane::site {
namespace {

// Counts down to zero and lets waiters through then.
class Countdown {
 public:
  explicit Countdown(int count) : count_(count) {}
  void arrive() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (--count_ == 0) done_.notify_all();
  }
  // True once everyone has arrived. The bound only turns a lost delivery into a failure instead
  // of a hang; nothing is timed.
  bool wait() {
    std::unique_lock<std::mutex> lock(mutex_);
    return done_.wait_for(lock, std::chrono::seconds(120), [this] { return count_ <= 0; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  int count_;
};

// Answers every request at once on its own worker thread, with the request's "timestamp" as
// zone identifier, so that each reply tells which call it belongs to.
HttpOutcome echoTimestamp(const HttpRequest& request) {
  const auto body = nlohmann::json::parse(request.body.value_or("{}"));
  const nlohmann::json reply = {{"timeZoneId", std::to_string(body.value("timestamp", -1))}};
  return testing::httpReply(200, reply.dump());
}

class OperationsConcurrency : public ::testing::Test {
 protected:
  void SetUp() override {
    setLogSink([](std::string_view) {});  // 1,000 calls log 3,000 lines
    setDefaultHttpTransport(transport_);
  }
  void TearDown() override {
    setDefaultHttpTransport(nullptr);
    transport_->waitUntilIdle();
    setLogSink(nullptr);
  }

  std::shared_ptr<testing::AutoAnsweringTransport> transport_ =
      std::make_shared<testing::AutoAnsweringTransport>(echoTimestamp);
};

TEST_F(OperationsConcurrency, DestroyingAFacadeWaitsForItsRunningHandlerAndSkipsTheRest) {
  std::mutex mutex;
  std::condition_variable changed;
  bool handlerStarted = false;
  bool destroyerStarted = false;
  bool facadeGone = false;
  std::atomic<bool> handlerFinished{false};
  std::atomic<int> laterHandlers{0};
  // The reply of the second call is held back until the facade is gone.
  auto transport = std::make_shared<testing::AutoAnsweringTransport>([&](const HttpRequest& r) {
    if (r.body && r.body->find(R"("timestamp":2)") != std::string::npos) {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return facadeGone; });
    }
    return echoTimestamp(r);
  });
  setDefaultHttpTransport(transport);
  auto client = std::make_unique<SiteClient>();

  client->timezone(TimezoneRequest(Coordinate(1, 1), 1, std::nullopt), nullptr,
                   [&](std::shared_ptr<TimezoneResponse>, std::optional<Error>) {
                     std::unique_lock<std::mutex> lock(mutex);
                     handlerStarted = true;
                     changed.notify_all();
                     changed.wait(lock, [&] { return destroyerStarted; });
                     lock.unlock();
                     handlerFinished = true;
                   });
  {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return handlerStarted; });
  }
  client->timezone(
      TimezoneRequest(Coordinate(2, 2), 2, std::nullopt), nullptr,
      [&](std::shared_ptr<TimezoneResponse>, std::optional<Error>) { ++laterHandlers; });
  std::thread destroyer([&] {
    {
      std::lock_guard<std::mutex> lock(mutex);
      destroyerStarted = true;
    }
    changed.notify_all();
    client.reset();
    // The destructor returned: the handler that was running must have finished.
    EXPECT_TRUE(handlerFinished.load());
    {
      std::lock_guard<std::mutex> lock(mutex);
      facadeGone = true;
    }
    changed.notify_all();
  });
  destroyer.join();
  transport->waitUntilIdle();
  setDefaultHttpTransport(transport_);
  EXPECT_EQ(laterHandlers.load(), 0);
}

}  // namespace
}  // namespace orvane::site
