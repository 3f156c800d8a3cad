#include "support/LogCapture.h"

#include <chrono>

#include "orvane/site/LogSink.h"

namespace orvane::site::testing {

LogCapture::LogCapture() {
  setLogSink([lines = lines_](std::string_view line) {
    std::lock_guard<std::mutex> lock(lines->mutex);
    lines->lines.emplace_back(line);
  });
}

LogCapture::~LogCapture() {
  // Lines logged while the capture lived end up in it, not in the next sink.
  flushLogs(std::chrono::seconds(10));
  setLogSink(LogSink());
}

std::vector<std::string> LogCapture::lines() const {
  // Lines reach the sink on the logger's own thread: wait for those logged so far.
  flushLogs(std::chrono::seconds(10));
  std::lock_guard<std::mutex> lock(lines_->mutex);
  return lines_->lines;
}

std::vector<std::string> LogCapture::linesContaining(std::string_view text) const {
  std::vector<std::string> found;
  for (std::string& line : lines()) {
    if (line.find(text) != std::string::npos) found.push_back(std::move(line));
  }
  return found;
}

std::size_t LogCapture::count(std::string_view text) const { return linesContaining(text).size(); }

void LogCapture::clear() {
  flushLogs(std::chrono::seconds(10));
  std::lock_guard<std::mutex> lock(lines_->mutex);
  lines_->lines.clear();
}

}  // namespace orvane::site::testing
