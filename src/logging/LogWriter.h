#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "orvane/site/LogLevel.h"
#include "orvane/site/LogSink.h"

namespace orvane::site::internal {

/// One queued log event: the parts of its line, and the sink installed when it was logged.
struct LogEntry {
  /// Where the line goes; both empty means standard output.
  struct Sink {
    LogSink line;
    LogRecordSink record;
  };

  LogLevel level = LogLevel::info;
  std::chrono::system_clock::time_point time;
  /// The source's base name followed by the function name.
  std::string head;
  std::size_t sourceLength = 0;
  std::string message;
  bool hasMessage = false;
  std::shared_ptr<const Sink> sink;
};

/// Hands log lines from any thread to the installed sink on a thread of its own, through a
/// bounded queue: `push` never waits for a sink, and drops (counting) what does not fit.
///
/// Made on first use and never destroyed; its thread "orvane-site-log" starts with the first
/// line and is detached. At normal process exit it flushes for a bounded time and then stops
/// calling sinks, whose objects may be destroyed by then.
class LogWriter {
 public:
  /// Room in the queue: lines, and bytes of text. One line longer than the byte room still
  /// passes when nothing else is pending.
  static constexpr std::size_t kMaxLines = 8192;
  static constexpr std::size_t kMaxBytes = 8U << 20U;

  static LogWriter& shared();

  /// Queues `entry` for the sink installed now. Returns false when it was dropped.
  bool push(LogEntry&& entry) noexcept;

  /// True while the queue is known to be full: a caller may drop its line (dropOne) before
  /// building it. A stale answer merely sends one line the long way.
  bool full() const noexcept { return full_.load(std::memory_order_relaxed); }
  /// Counts a line dropped because the queue was full.
  void dropOne() noexcept { dropped_.fetch_add(1, std::memory_order_relaxed); }

  void setSink(std::shared_ptr<const LogEntry::Sink> sink);

  /// Waits until every line pushed before the call has reached its sink, at most `timeout`.
  bool flush(std::chrono::nanoseconds timeout);

  std::uint64_t dropped() const noexcept;

  /// Shrinks or restores the queue's room, for tests of a full queue.
  void setLimitsForTesting(std::size_t maxLines, std::size_t maxBytes);

  /// Writes `entry` to its sink on the calling thread. Exposed for the formatting tests.
  static void write(const LogEntry& entry, const std::string& loggerName);

  LogWriter(const LogWriter&) = delete;
  LogWriter& operator=(const LogWriter&) = delete;

 private:
  LogWriter() = default;
  bool startLocked();
  void run();
  static void flushAtExit();
  static void beforeFork();
  static void afterForkInParent();
  static void afterForkInChild();

  mutable std::mutex mutex_;
  std::condition_variable pendingReady_;
  std::condition_variable written_;
  std::vector<LogEntry> pending_;
  std::size_t pendingBytes_ = 0;
  std::size_t maxLines_ = kMaxLines;
  std::size_t maxBytes_ = kMaxBytes;
  std::shared_ptr<const LogEntry::Sink> sink_;
  std::uint64_t accepted_ = 0;  // lines queued so far
  std::uint64_t done_ = 0;      // lines handed to their sink (or given up at exit) so far
  std::atomic<std::uint64_t> dropped_{0};
  std::atomic<bool> full_{
      false};  // set when a line did not fit, cleared when the writer takes the queue
  bool started_ = false;
  bool startFailed_ = false;
  std::atomic<bool> closed_{false};  // set once at exit; read by the writer between lines
};

}  // namespace orvane::site::internal
