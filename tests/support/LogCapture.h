#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "orvane/site/LogSink.h"

namespace orvane::site::testkit {

/// Collects the library's log lines while it lives (installs a LogSink; the destructor restores
/// standard output). Lines reach the sink on the logger's own thread, so every read first waits
/// for the lines logged so far (flushLogs). Thread-safe. One at a time per process.
class LogCapture {
 public:
  LogCapture() {
    setLogSink([lines = lines_](std::string_view line) {
      std::lock_guard<std::mutex> lock(lines->mutex);
      lines->lines.emplace_back(line);
    });
  }
  ~LogCapture() {
    // Lines logged while the capture lived end up in it, not in the next sink.
    flushLogs(std::chrono::seconds(10));
    setLogSink(LogSink());
  }

  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  /// Every line so far, without line feeds.
  std::vector<std::string> lines() const {
    flushLogs(std::chrono::seconds(10));
    std::lock_guard<std::mutex> lock(lines_->mutex);
    return lines_->lines;
  }
  /// The lines that contain `text`.
  std::vector<std::string> linesContaining(std::string_view text) const {
    std::vector<std::string> found;
    for (std::string& line : lines()) {
      if (line.find(text) != std::string::npos) found.push_back(std::move(line));
    }
    return found;
  }
  /// How many lines contain `text`.
  std::size_t count(std::string_view text) const { return linesContaining(text).size(); }
  /// True when any line contains `text`.
  bool contains(std::string_view text) const { return count(text) > 0; }
  void clear() {
    flushLogs(std::chrono::seconds(10));
    std::lock_guard<std::mutex> lock(lines_->mutex);
    lines_->lines.clear();
  }

 private:
  // Shared with the sink, which a thread that is logging right now may still hold after the
  // capture has ended.
  struct Lines {
    std::mutex mutex;
    std::vector<std::string> lines;
  };
  std::shared_ptr<Lines> lines_ = std::make_shared<Lines>();
};

}  // namespace orvane::site::testkit
