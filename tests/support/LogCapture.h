#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::site::testing {

/// Collects the library's log lines while it lives (installs a LogSink; the destructor restores
/// standard output). Lines reach the sink on the logger's own thread, so every read first waits
/// for the lines logged so far (flushLogs). Thread-safe. One at a time per process.
class LogCapture {
 public:
  LogCapture();
  ~LogCapture();

  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  /// Every line so far, without line feeds.
  std::vector<std::string> lines() const;
  /// The lines that contain `text`.
  std::vector<std::string> linesContaining(std::string_view text) const;
  /// How many lines contain `text`.
  std::size_t count(std::string_view text) const;
  /// True when any line contains `text`.
  bool contains(std::string_view text) const { return count(text) > 0; }
  void clear();

 private:
  // Shared with the sink, which a thread that is logging right now may still hold after the
  // capture has ended.
  struct Lines {
    std::mutex mutex;
    std::vector<std::string> lines;
  };
  std::shared_ptr<Lines> lines_ = std::make_shared<Lines>();
};

}  // namespace orvane::site::testing
