#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <optional>
#include <string>

#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::bench {

/// A transport that answers every request at once with status 200 and a fixed body, so that a
/// benchmark measures the library's own work and nothing of a network or a thread hop.
///
/// Nothing runs inside the call that scheduled it: sends, posts and timers are queued, and the
/// benchmark thread runs them with `drain()` (it stands in for the library thread). Timers
/// fire without waiting. Thread-safe.
class ImmediateTransport : public HttpTransport {
 public:
  /// With `keepLastRequest`, each request is copied for `lastRequest()` (off when timing).
  explicit ImmediateTransport(std::string replyBody, bool keepLastRequest = false);

  void send(HttpRequest request, Completion completion) override;
  void runAfter(std::chrono::nanoseconds delay, Task task) override;
  void post(Task task) override;

  /// Runs queued work, including work it queues, until none is left; returns how many tasks ran.
  std::size_t drain();

  /// The last request sent, exactly as the library built it (when kept).
  std::optional<HttpRequest> lastRequest() const;

 private:
  void enqueue(Task task);

  const std::string replyBody_;
  const bool keepLastRequest_;
  mutable std::mutex mutex_;
  std::deque<Task> queue_;
  std::optional<HttpRequest> lastRequest_;
};

}  // namespace orvane::site::bench
