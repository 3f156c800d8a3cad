#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "logging/Logger.h"
#include "orvane/site/LogLevel.h"
#include "orvane/site/LogSink.h"

namespace orvane::site {
namespace {

// Threads log while others swap sinks, change the level and flush: every line reaches exactly
// one sink or is counted as dropped, and nothing races.
TEST(LogQueueThreads, SinksLevelsAndFlushesChangeWhileThreadsLog) {
  std::atomic<std::uint64_t> received{0};
  auto counting = [&received](std::string_view) { ++received; };
  auto structured = [&received](const LogRecord&) { ++received; };
  setLogSink(counting);
  const std::uint64_t droppedBefore = droppedLogLines();
  constexpr int kThreads = 4;
  constexpr int kEach = 3000;
  std::atomic<bool> stop{false};
  std::thread changer([&] {
    for (int i = 0; !stop; ++i) {
      if (i % 2 == 0) {
        setLogSink(structured);
      } else {
        setLogSink(counting);
      }
      setLogLevel(LogLevel::info);
      (void)flushLogs(std::chrono::milliseconds(1));
    }
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      internal::NeverWaitForLogScope scope;
      for (int i = 0; i < kEach; ++i) {
        ORVANE_SITE_LOG("worker", std::to_string(t) + ":" + std::to_string(i), internal::kInfo);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  stop = true;
  changer.join();
  ASSERT_TRUE(flushLogs(std::chrono::seconds(30)));
  setLogSink(nullptr);
  EXPECT_EQ(received.load() + (droppedLogLines() - droppedBefore),
            static_cast<std::uint64_t>(kThreads * kEach));
}

}  // namespace
}  // namespace orvane::site
