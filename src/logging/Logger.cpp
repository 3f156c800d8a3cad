#include "logging/Logger.h"

#include <chrono>
#include <memory>
#include <utility>

#include "logging/LogWriter.h"
#include "orvane/site/LogSink.h"
#include "transport/ServiceLoop.h"

namespace orvane::site {
namespace {

thread_local bool tNeverWaitForLog = false;

void install(LogSink line, LogRecordSink record) {
  std::shared_ptr<const internal::LogEntry::Sink> sink;
  if (line || record) {
    sink = std::make_shared<const internal::LogEntry::Sink>(
        internal::LogEntry::Sink{std::move(line), std::move(record)});
  }
  internal::LogWriter::shared().setSink(std::move(sink));
}

}  // namespace

void setLogSink(LogSink sink) { install(std::move(sink), LogRecordSink()); }

void setLogSink(LogRecordSink sink) { install(LogSink(), std::move(sink)); }

void setLogSink(std::nullptr_t) { install(LogSink(), LogRecordSink()); }

bool flushLogs(std::chrono::nanoseconds timeout) {
  return internal::LogWriter::shared().flush(timeout);
}

void writeLog(LogLevel level, std::string_view source, std::string_view function,
              std::string_view message) noexcept {
  if (!internal::Logger::enabled(level)) return;
  internal::Logger::shared().log(source, function, std::optional<std::string_view>(message), level);
}

std::uint64_t droppedLogLines() noexcept { return internal::LogWriter::shared().dropped(); }

void setLogLevel(LogLevel level) noexcept { internal::Logger::setThreshold(level); }

LogLevel logLevel() noexcept { return internal::Logger::threshold(); }

std::string_view logLevelName(LogLevel level) noexcept {
  switch (level) {
    case LogLevel::error:
      return "ERROR";
    case LogLevel::info:
      return "INFO";
    case LogLevel::debug:
      return "DEBUG";
    case LogLevel::off:
      return "OFF";
  }
  return "OFF";
}

namespace internal {

std::atomic<LogLevel> Logger::threshold_{LogLevel::info};

NeverWaitForLogScope::NeverWaitForLogScope() noexcept : previous_(tNeverWaitForLog) {
  tNeverWaitForLog = true;
}

NeverWaitForLogScope::~NeverWaitForLogScope() { tNeverWaitForLog = previous_; }

bool mustNeverWaitForLog() noexcept {
  return tNeverWaitForLog || transport::ServiceLoop::isLoopThread();
}

Logger& Logger::shared() {
  static auto* instance = new Logger();
  return *instance;
}

std::string_view Logger::baseName(std::string_view path) noexcept {
  // Last non-empty piece between slashes.
  std::string_view last;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string_view::npos) end = path.size();
    if (end > start) last = path.substr(start, end - start);
    start = end + 1;
  }
  // First non-empty piece between dots.
  start = 0;
  while (start < last.size()) {
    std::size_t end = last.find('.', start);
    if (end == std::string_view::npos) end = last.size();
    if (end > start) return last.substr(start, end - start);
    start = end + 1;
  }
  return {};
}

std::string Logger::formatLine(std::string_view file, std::string_view function,
                               const std::optional<std::string_view>& message,
                               LogLevel level) const {
  const std::string_view base = baseName(file);
  const std::string_view word = logLevelName(level);
  std::string line;
  line.reserve(name_.size() + base.size() + function.size() + word.size() + 8 +
               (message ? message->size() + 2 : 0));
  line.append("[").append(name_).append("][");
  line.append(base).append(".").append(function).append("] ").append(word);
  if (message) line.append(": ").append(*message);
  return line;
}

namespace {

LogEntry entryFor(std::string_view file, std::string_view function, LogLevel level) {
  const std::string_view base = Logger::baseName(file);
  LogEntry entry;
  entry.level = level;
  entry.time = std::chrono::system_clock::now();
  entry.head.reserve(base.size() + function.size());
  entry.head.append(base).append(function);
  entry.sourceLength = base.size();
  return entry;
}

}  // namespace

void Logger::log(std::string_view file, std::string_view function,
                 const std::optional<std::string_view>& message, LogLevel level) const noexcept {
  if (!enabled(level)) return;
  if (LogWriter::shared().full()) {
    LogWriter::shared().dropOne();  // no room: not even the entry is built
    return;
  }
  try {
    LogEntry entry = entryFor(file, function, level);
    if (message) {
      entry.message.assign(message->data(), message->size());
      entry.hasMessage = true;
    }
    LogWriter::shared().push(std::move(entry));
  } catch (...) {
    // Logging never fails the operation that logs (no memory for the line: it is lost).
  }
}

void Logger::log(std::string_view file, std::string_view function, std::string&& message,
                 LogLevel level) const noexcept {
  if (!enabled(level)) return;
  if (LogWriter::shared().full()) {
    LogWriter::shared().dropOne();  // no room: not even the entry is built
    return;
  }
  try {
    LogEntry entry = entryFor(file, function, level);
    entry.message = std::move(message);
    entry.hasMessage = true;
    LogWriter::shared().push(std::move(entry));
  } catch (...) {
    // As above.
  }
}

}  // namespace internal
}  // namespace orvane::site
