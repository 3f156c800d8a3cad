// A facade destroyed while one of its handlers runs on another thread. Meant to run under
// ThreadSanitizer.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "orvane/site.h"
#include "orvane/site/testing/AutoAnsweringTransport.h"

namespace orvane::site {
namespace {

TEST(OperationsConcurrency, DestroyingAFacadeWaitsForItsRunningHandlerAndSkipsTheRest) {
  std::mutex mutex;
  std::condition_variable changed;
  bool handlerStarted = false;
  bool destroyerStarted = false;
  bool facadeGone = false;
  std::atomic<bool> handlerFinished{false};
  std::atomic<int> laterHandlers{0};
  // Every request is answered at once on the transport's worker thread, but the reply of the
  // second call is held back until the facade is gone.
  auto transport = std::make_shared<testkit::AutoAnsweringTransport>([&](const HttpRequest& r) {
    if (r.body && r.body->find(R"("timestamp":2)") != std::string::npos) {
      std::unique_lock<std::mutex> lock(mutex);
      changed.wait(lock, [&] { return facadeGone; });
    }
    return testkit::httpReply(200, "{}");
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
  setDefaultHttpTransport(nullptr);
  EXPECT_EQ(laterHandlers.load(), 0);
}

}  // namespace
}  // namespace orvane::site
