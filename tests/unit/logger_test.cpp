#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "logging/LogBody.h"
#include "logging/LogWriter.h"
#include "logging/Logger.h"
#include "orvane/site/LogLevel.h"
#include "orvane/site/LogSink.h"
#include "support/LogCapture.h"

namespace orvane::site {
namespace {

using internal::Logger;
using namespace std::chrono_literals;

// Puts the process-wide threshold back after a test.
struct LevelGuard {
  LogLevel saved = logLevel();
  ~LevelGuard() { setLogLevel(saved); }
};

TEST(LoggerLine, FormatWithAndWithoutMessage) {
  const Logger& logger = Logger::shared();
  EXPECT_EQ(logger.formatLine("/src/internal/SiteRequestManager.cpp", "generateSession(_:)",
                              std::string_view("Called Url: https://h/p"), LogLevel::info),
            "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Url: https://h/p");
  EXPECT_EQ(logger.formatLine("SiteClient.cpp", "provideApiContext(with:)", std::nullopt,
                              LogLevel::error),
            "[OrvaneSite][SiteClient.provideApiContext(with:)] ERROR");
  // An empty message is still a message: the separator stays.
  EXPECT_EQ(logger.formatLine("a.cpp", "f", std::string_view(), LogLevel::debug),
            "[OrvaneSite][a.f] DEBUG: ");
}

TEST(LoggerLevels, ThresholdFiltersWithoutBuildingTheMessage) {
  LevelGuard guard;
  EXPECT_EQ(logLevel(), LogLevel::info);  // the default keeps every line of today
  testkit::LogCapture sink;
  int built = 0;
  auto message = [&built](const char* text) {
    ++built;
    return std::string(text);
  };
  ORVANE_SITE_LOG("f", message("info at info"), internal::kInfo);
  ORVANE_SITE_LOG("f", message("debug at info"), internal::kDebug);
  setLogLevel(LogLevel::error);
  ORVANE_SITE_LOG("f", message("info at error"), internal::kInfo);
  ORVANE_SITE_LOG("f", message("error at error"), internal::kError);
  setLogLevel(LogLevel::debug);
  ORVANE_SITE_LOG("f", message("debug at debug"), internal::kDebug);
  setLogLevel(LogLevel::off);
  ORVANE_SITE_LOG("f", message("error at off"), internal::kError);
  ORVANE_SITE_LOG_BODY("f", "Body: ", (++built, std::string_view("{}")), "");

  EXPECT_EQ(sink.lines(), (std::vector<std::string>{
                              "[OrvaneSite][logger_test.f] INFO: info at info",
                              "[OrvaneSite][logger_test.f] ERROR: error at error",
                              "[OrvaneSite][logger_test.f] DEBUG: debug at debug",
                          }));
  EXPECT_EQ(built, 3);
}

TEST(LoggerSink, StructuredSinkGetsTheParts) {
  using Parts = std::tuple<LogLevel, std::string, std::string, std::optional<std::string>>;
  std::vector<Parts> records;  // written on the logger's thread, read after the flush
  std::chrono::system_clock::time_point time;
  setLogSink([&](const LogRecord& record) {
    records.emplace_back(
        record.level, record.source, record.function,
        record.message ? std::optional<std::string>(*record.message) : std::nullopt);
    time = record.time;
  });
  const auto before = std::chrono::system_clock::now();
  ORVANE_SITE_LOG("generateSession(_:)", std::string("Called Url: u"), internal::kInfo);
  ORVANE_SITE_LOG("provideApiContext(with:)", std::nullopt, internal::kError);
  EXPECT_TRUE(flushLogs());
  setLogSink(nullptr);
  EXPECT_EQ(records,
            (std::vector<Parts>{
                {LogLevel::info, "logger_test", "generateSession(_:)", "Called Url: u"},
                {LogLevel::error, "logger_test", "provideApiContext(with:)", std::nullopt}}));
  EXPECT_GE(time, before);
}

TEST(LoggerSink, ThrowingSinkLosesOnlyItsLine) {
  std::atomic<int> calls{0};
  setLogSink([&calls](std::string_view) {
    ++calls;
    throw std::runtime_error("sink failed");
  });
  EXPECT_NO_THROW(ORVANE_SITE_LOG("f", std::nullopt, internal::kError));
  EXPECT_NO_THROW(ORVANE_SITE_LOG("f", std::nullopt, internal::kError));
  EXPECT_TRUE(flushLogs());
  EXPECT_EQ(calls.load(), 2);
  setLogSink(nullptr);
}

// A sink that blocks on its first line until released, as a full pipe or a stuck file system
// would; only the logger's writer thread calls it.
struct BlockedSink {
  BlockedSink() {
    setLogSink([this](std::string_view line) {
      if (lines.empty()) {
        entered.set_value();
        open.wait();
      }
      lines.emplace_back(line);
    });
  }
  ~BlockedSink() {
    release();
    flushLogs();
    setLogSink(nullptr);
  }
  void release() {
    if (!released) opened.set_value();
    released = true;
  }
  std::promise<void> entered, opened;
  std::shared_future<void> open = opened.get_future().share();
  bool released = false;
  std::vector<std::string> lines;  // read only after a flush
};

TEST(LoggerQueue, BlockedSinkNeverBlocksTheLibraryThreadAndDropsAreCounted) {
  internal::LogWriter::shared().setLimitsForTesting(16, internal::LogWriter::kMaxBytes);
  const std::uint64_t droppedBefore = droppedLogLines();
  constexpr int kLines = 2000;
  std::vector<std::string> delivered;
  {
    BlockedSink sink;
    ORVANE_SITE_LOG("loop", std::string("first"), internal::kInfo);
    ASSERT_EQ(sink.entered.get_future().wait_for(10s), std::future_status::ready);  // stuck
    // Logged on a thread that must never wait: if a log call blocked, this join would hang.
    std::thread library([] {
      internal::NeverWaitForLogScope scope;
      for (int i = 0; i < kLines; ++i) {
        ORVANE_SITE_LOG("loop", "line " + std::to_string(i), internal::kInfo);
      }
      EXPECT_FALSE(flushLogs(10s));  // does not wait here, and lines are pending
    });
    library.join();
    EXPECT_GE(droppedLogLines() - droppedBefore, static_cast<std::uint64_t>(kLines - 16));
    sink.release();
    ASSERT_TRUE(flushLogs(10s));
    delivered = sink.lines;
  }
  internal::LogWriter::shared().setLimitsForTesting(internal::LogWriter::kMaxLines,
                                                    internal::LogWriter::kMaxBytes);
  // What got through is "first" and the first lines that fitted, in order; every other line
  // was counted as dropped.
  ASSERT_EQ(delivered.size(), 17u);
  EXPECT_EQ(delivered[0], "[OrvaneSite][logger_test.loop] INFO: first");
  for (std::size_t i = 1; i < delivered.size(); ++i) {
    EXPECT_EQ(delivered[i], "[OrvaneSite][logger_test.loop] INFO: line " + std::to_string(i - 1));
  }
  EXPECT_EQ(droppedLogLines() - droppedBefore, static_cast<std::uint64_t>(kLines - 16));
}

// Control characters are escaped so that no line can be forged; the text is cut after 1 KiB
// without splitting a character; the secret is masked even across the cut.
TEST(LoggedBody, EscapedCutAndMasked) {
  const std::string kib(1024, 'a');
  const std::string a1023(1023, 'a');
  const std::string a1020(1020, 'a');
  const struct {
    std::string body, secret, expected;
  } cases[] = {
      {"{\"a\":1}", "", "{\"a\":1}"},
      {"x\n[OrvaneSite][Fake.f] ERROR: forged\r\n", "",
       "x\\n[OrvaneSite][Fake.f] ERROR: forged\\r\\n"},
      {std::string("a\tb\\c\x01\x7f\0", 8), "", "a\\tb\\\\c\\x01\\x7f\\x00"},
      // Malformed UTF-8 as bytes; C1 controls and line separators as escapes; the rest stays.
      {"caf\xc3\xa9 \xff \xc2\x85 \xe2\x80\xa8 \xe2\x80\xa9", "",
       "caf\xc3\xa9 \\xff \\u0085 \\u2028 \\u2029"},
      {kib, "", kib},
      {kib + "tail", "", kib + "...(cut, 1028 bytes in all)"},
      {a1023 + "\xc3\xa9", "", a1023 + "...(cut, 1025 bytes in all)"},
      {"key=SECRET&x=SECRET", "SECRET", "key=****&x=****"},
      {a1020 + "SECRET" + std::string(100, 'b'), "SECRET",
       a1020 + "****...(cut, 1126 bytes in all)"},
  };
  for (const auto& c : cases) EXPECT_EQ(internal::logTextOfBody(c.body, c.secret), c.expected);
  // A 62 MB reply costs a line of about 1 KiB.
  EXPECT_LT(internal::logTextOfBody(std::string(62U << 20U, 'z')).size(), 1100u);
}

}  // namespace
}  // namespace orvane::site
