#pragma once

#include <atomic>
#include <optional>
#include <string>
#include <string_view>

#include "orvane/site/LogLevel.h"

namespace orvane::site::internal {

inline constexpr LogLevel kError = LogLevel::error;
inline constexpr LogLevel kInfo = LogLevel::info;
inline constexpr LogLevel kDebug = LogLevel::debug;

/// The library's one logger, named "OrvaneSite". Lines look like
/// "[OrvaneSite][SiteRequestManager.generateSession(_:)] INFO: Called Url: ..." and go, through
/// the bounded queue of LogWriter, to the installed sink, by default standard output. Safe to
/// call from any thread; never waits for a sink.
class Logger {
 public:
  static Logger& shared();

  const std::string& name() const noexcept { return name_; }

  /// True when lines of `level` pass the process-wide threshold. One relaxed atomic load: check
  /// it before building a message (ORVANE_SITE_LOG does).
  static bool enabled(LogLevel level) noexcept {
    const LogLevel threshold = threshold_.load(std::memory_order_relaxed);
    return level != LogLevel::off && threshold != LogLevel::off &&
           static_cast<int>(level) <= static_cast<int>(threshold);
  }
  static void setThreshold(LogLevel level) noexcept {
    threshold_.store(level, std::memory_order_relaxed);
  }
  static LogLevel threshold() noexcept { return threshold_.load(std::memory_order_relaxed); }

  /// Queues one line. `file` is a source path (absolute, relative or bare); only its base name
  /// is printed. Without a message the line ends with the level word. Never throws.
  void log(std::string_view file, std::string_view function,
           const std::optional<std::string_view>& message, LogLevel level) const noexcept;
  /// The same, taking over the message's storage (no copy of a long message).
  void log(std::string_view file, std::string_view function, std::string&& message,
           LogLevel level) const noexcept;
  void log(std::string_view file, std::string_view function, const char* message,
           LogLevel level) const noexcept {
    log(file, function, std::optional<std::string_view>(message), level);
  }

  /// The line a string sink receives, without the line feed.
  std::string formatLine(std::string_view file, std::string_view function,
                         const std::optional<std::string_view>& message, LogLevel level) const;

  /// The base name of a source path: the last "/"-separated piece, cut before its first ".".
  static std::string_view baseName(std::string_view path) noexcept;

 private:
  Logger() = default;
  std::string name_ = "OrvaneSite";
  static std::atomic<LogLevel> threshold_;
};

/// Marks the current thread, while it lives, as one that must never wait for the log (as the
/// library thread is): flushLogs returns at once there. For threads that stand in for the
/// library thread, such as a fake transport's delivery thread in tests.
class NeverWaitForLogScope {
 public:
  NeverWaitForLogScope() noexcept;
  ~NeverWaitForLogScope();
  NeverWaitForLogScope(const NeverWaitForLogScope&) = delete;
  NeverWaitForLogScope& operator=(const NeverWaitForLogScope&) = delete;

 private:
  bool previous_;
};

/// True on the library thread and inside a NeverWaitForLogScope.
bool mustNeverWaitForLog() noexcept;

}  // namespace orvane::site::internal

/// Logs from the current source file, so that the line names the file the event comes from.
/// The message is not even evaluated when `level` is filtered out.
#define ORVANE_SITE_LOG(function, message, level)                                               \
  do {                                                                                          \
    if (::orvane::site::internal::Logger::enabled(level)) {                                     \
      ::orvane::site::internal::Logger::shared().log(__FILE__, (function), (message), (level)); \
    }                                                                                           \
  } while (false)
