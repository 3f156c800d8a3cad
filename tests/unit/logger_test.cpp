#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "internal/Logger.h"
#include "orvane/site/LogSink.h"

namespace orvane::site {
namespace {

using internal::Logger;

TEST(LoggerLine, FormatWithAndWithoutMessage) {
  const Logger& logger = Logger::shared();
  EXPECT_EQ(logger.name(), "OrvaneSite");
  EXPECT_EQ(logger.formatLine("/src/internal/SiteRequestManager.cpp", "generateSession(_:)",
                              std::string_view("Called Url: https://h/p"), "INFO"),
            "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Url: https://h/p");
  EXPECT_EQ(logger.formatLine("SiteClient.cpp", "provideApiContext(with:)", std::nullopt, "ERROR"),
            "[OrvaneSite][SiteClient.provideApiContext(with:)] ERROR");
  // An empty message is still a message: the separator stays.
  EXPECT_EQ(logger.formatLine("a.cpp", "f", std::string_view(), "INFO"),
            "[OrvaneSite][a.f] INFO: ");
}

TEST(LoggerLine, BaseNameOfOddPaths) {
  struct Case {
    const char* path;
    const char* base;
  } cases[] = {
      {"/abs/dir/ApiContext.cpp", "ApiContext"},
      {"../relative/dir/ApiContext.cpp", "ApiContext"},
      {"ApiContext.cpp", "ApiContext"},
      {"ApiContext", "ApiContext"},
      {"dir/Name.with.dots.cpp", "Name"},
      {"dir//double//slash.cpp", "slash"},
      {"dir/trailing/", "trailing"},
      {"dir/.hidden.cpp", "hidden"},
      {"dir/...", ""},
      {"", ""},
      {"/", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Logger::baseName(c.path), c.base) << c.path;
  }
}

TEST(LoggerSink, ReceivesWholeLinesFromManyThreadsThenRestoresDefault) {
  std::mutex mutex;
  std::vector<std::string> lines;
  setLogSink([&](std::string_view line) {
    std::lock_guard<std::mutex> lock(mutex);
    lines.emplace_back(line);
  });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) {
        ORVANE_SITE_LOG("worker", std::string_view("thread " + std::to_string(t)), internal::kInfo);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  setLogSink(nullptr);

  ASSERT_EQ(lines.size(), 200u);
  for (const std::string& line : lines) {
    EXPECT_EQ(line.rfind("[OrvaneSite][logger_test.worker] INFO: thread ", 0), 0u) << line;
  }
}

TEST(LoggerSink, ThrowingSinkDoesNotEscape) {
  setLogSink([](std::string_view) { throw std::runtime_error("sink failed"); });
  EXPECT_NO_THROW(ORVANE_SITE_LOG("f", std::nullopt, internal::kError));
  setLogSink(nullptr);
}

TEST(LoggerDefault, WritesLineAndFeedToStandardOutput) {
  testing::internal::CaptureStdout();
  ORVANE_SITE_LOG("printed", std::string_view("to stdout"), internal::kInfo);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "[OrvaneSite][logger_test.printed] INFO: to stdout\n");
}

}  // namespace
}  // namespace orvane::site
