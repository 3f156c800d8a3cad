#include "internal/Logger.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <utility>

#include "orvane/site/LogSink.h"

namespace orvane::site {
namespace {

struct SinkSlot {
  std::mutex mutex;
  std::shared_ptr<const LogSink> sink;
};

// Never destroyed: threads may still log while static objects are torn down.
SinkSlot& sinkSlot() {
  static auto* instance = new SinkSlot();
  return *instance;
}

void writeToStandardOutput(const std::string& line) {
  std::string withFeed;
  withFeed.reserve(line.size() + 1);
  withFeed.append(line).push_back('\n');
  // One call per line: stdio locks the stream for the call, so lines of different threads never
  // mix within a line. The flush keeps lines prompt when standard output is a pipe.
  // A log line that cannot be written has nowhere better to go.
  (void)std::fwrite(withFeed.data(), 1, withFeed.size(), stdout);
  (void)std::fflush(stdout);
}

}  // namespace

void setLogSink(LogSink sink) {
  auto next = sink ? std::make_shared<const LogSink>(std::move(sink)) : nullptr;
  std::lock_guard<std::mutex> lock(sinkSlot().mutex);
  sinkSlot().sink = std::move(next);
}

namespace internal {

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
                               std::string_view level) const {
  const std::string_view base = baseName(file);
  std::string line;
  line.reserve(name_.size() + base.size() + function.size() + level.size() + 8 +
               (message ? message->size() + 2 : 0));
  line.append("[").append(name_).append("][");
  line.append(base).append(".").append(function).append("] ").append(level);
  if (message) line.append(": ").append(*message);
  return line;
}

void Logger::log(std::string_view file, std::string_view function,
                 const std::optional<std::string_view>& message, std::string_view level) const {
  try {
    const std::string line = formatLine(file, function, message, level);
    std::shared_ptr<const LogSink> sink;
    {
      std::lock_guard<std::mutex> lock(sinkSlot().mutex);
      sink = sinkSlot().sink;
    }
    if (sink) {
      (*sink)(line);
    } else {
      writeToStandardOutput(line);
    }
  } catch (...) {
    // Logging never fails the operation that logs.
  }
}

}  // namespace internal
}  // namespace orvane::site
