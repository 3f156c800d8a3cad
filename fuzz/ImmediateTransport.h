#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <utility>
#include <vector>

#include "orvane/site/internal/HttpTransport.h"

namespace orvane::site::fuzzing {

/// A single-threaded transport for fuzzing: `send`, `runAfter` and `post` only queue, and
/// `drain()` then runs everything on the calling thread, answering each request with the
/// responder's outcome and firing timers at once (their delays are recorded, not waited).
/// Nothing starts a thread, so each fuzz input runs the same way every time.
class ImmediateTransport final : public HttpTransport {
 public:
  using Responder = std::function<HttpOutcome(const HttpRequest& request)>;

  void send(HttpRequest request, Completion completion) override;
  void runAfter(std::chrono::nanoseconds delay, Task task) override;
  void post(Task task) override;

  /// Answers requests and runs tasks and timers until nothing is left. Returns false when more
  /// than `maxSteps` steps ran, which means the work never ends.
  bool drain(const Responder& responder, std::size_t maxSteps);

  /// Requests and timer delays since the last `reset()`.
  const std::vector<HttpRequest>& requests() const { return requests_; }
  const std::vector<std::chrono::nanoseconds>& delays() const { return delays_; }
  void reset();

 private:
  std::vector<HttpRequest> requests_;
  std::vector<std::chrono::nanoseconds> delays_;
  std::deque<std::pair<HttpRequest, Completion>> pending_;
  std::deque<Task> tasks_;
};

}  // namespace orvane::site::fuzzing
