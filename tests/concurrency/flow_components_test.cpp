#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "orvane/site/HandlerPool.h"
#include "orvane/site/TokenBucket.h"
#include "support/FakeClock.h"

namespace orvane::site {
namespace {

using namespace std::chrono_literals;

TEST(TokenBucketThreads, ManyThreadsNeverShareAPermit) {
  testkit::FakeClock clock;
  TokenBucket bucket(1000.0, 4, clock.reader());
  constexpr int kThreads = 8;
  constexpr int kEach = 500;
  std::mutex mutex;
  std::vector<long long> waits;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kEach; ++i) {
        bucket.acquire([&](std::chrono::nanoseconds wait) {
          std::lock_guard<std::mutex> lock(mutex);
          waits.push_back(wait.count());
        });
      }
    });
  }
  for (auto& thread : threads) thread.join();
  // Time stood still: the permits are the burst at once, then one each millisecond, every one
  // of them handed out exactly once.
  ASSERT_EQ(waits.size(), static_cast<std::size_t>(kThreads * kEach));
  std::sort(waits.begin(), waits.end());
  for (std::size_t k = 0; k < waits.size(); ++k) {
    const long long expected = k < 4 ? 0 : static_cast<long long>(k - 3) * 1'000'000LL;
    ASSERT_EQ(waits[k], expected) << k;
  }
}

// Throwing tasks are contained; every other task runs once, on the pool's threads only.
TEST(HandlerPool, RunsEachTaskOnceOnItsOwnThreads_ThrowingTasksAreContained) {
  EXPECT_THROW(HandlerPool(0), std::invalid_argument);
  HandlerPool pool(3);
  Executor executor = pool.executor();
  constexpr int kTasks = 2000;
  std::vector<std::atomic<int>> runs(kTasks);
  std::mutex mutex;
  std::set<std::thread::id> seen;
  pool.post([] { throw std::runtime_error("handler failed"); });
  pool.post([] { throw 42; });
  for (int i = 0; i < kTasks; ++i) {
    executor([&, i] {
      runs[static_cast<std::size_t>(i)]++;
      std::lock_guard<std::mutex> lock(mutex);
      seen.insert(std::this_thread::get_id());
    });
  }
  ASSERT_TRUE(pool.drain(30s));
  for (int i = 0; i < kTasks; ++i) ASSERT_EQ(runs[static_cast<std::size_t>(i)].load(), 1) << i;
  EXPECT_EQ(seen.count(std::this_thread::get_id()), 0u);
  EXPECT_LE(seen.size(), 3u);

  std::atomic<bool> release{false};
  pool.post([&] {
    while (!release) std::this_thread::sleep_for(1ms);
  });
  EXPECT_FALSE(pool.drain(20ms));
  release = true;
  EXPECT_TRUE(pool.drain(10s));
}

TEST(HandlerPool, DestructorRunsQueuedTasksAndLateTasksStillRunOnce) {
  std::atomic<int> ran{0};
  Executor kept;
  {
    HandlerPool pool(1);
    kept = pool.executor();
    pool.post([&] {
      std::this_thread::sleep_for(50ms);  // the rest queue up behind it
      ++ran;
    });
    for (int i = 0; i < 100; ++i) pool.post([&] { ++ran; });
  }
  EXPECT_EQ(ran.load(), 101);

  // Handed over after the pool is gone: runs once, elsewhere, not inside the call.
  std::promise<std::thread::id> where;
  kept([&where] { where.set_value(std::this_thread::get_id()); });
  std::future<std::thread::id> ranOn = where.get_future();
  ASSERT_EQ(ranOn.wait_for(10s), std::future_status::ready);
  EXPECT_NE(ranOn.get(), std::this_thread::get_id());
}

}  // namespace
}  // namespace orvane::site
