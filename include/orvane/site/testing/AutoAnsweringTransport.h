#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "orvane/site/testing/FormerNamespace.h"
#include "orvane/site/testing/HttpReplies.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::testkit {

/// A thread-safe transport that answers every request by itself, for concurrency tests.
///
/// One worker thread runs everything in the order it was asked for: each request's completion
/// (with the responder's outcome), `post` tasks, and `runAfter` tasks (at once: the delay is
/// recorded, not waited). The destructor finishes the queued work, then joins the worker.
class AutoAnsweringTransport final : public HttpTransport {
 public:
  /// The outcome for one request; a null one answers every request 200 "{}".
  using Responder = std::function<HttpOutcome(const HttpRequest& request)>;

  /// Starts the worker thread.
  explicit AutoAnsweringTransport(Responder responder);
  ~AutoAnsweringTransport() override;

  AutoAnsweringTransport(const AutoAnsweringTransport&) = delete;
  AutoAnsweringTransport& operator=(const AutoAnsweringTransport&) = delete;

  void send(HttpRequest request, Completion completion) override;
  void runAfter(std::chrono::nanoseconds delay, Task task) override;
  void post(Task task) override;

  /// Every request sent so far, in order.
  std::vector<HttpRequest> requests() const;
  /// How many requests were sent so far.
  std::size_t requestCount() const;
  /// The delay of every `runAfter` so far (they ran at once).
  std::vector<std::chrono::nanoseconds> timerDelays() const;

  /// Blocks until nothing is queued and the worker is idle.
  void waitUntilIdle();

 private:
  void enqueue(Task task);
  void work();

  Responder responder_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Task> queue_;
  std::vector<HttpRequest> requests_;
  std::vector<std::chrono::nanoseconds> delays_;
  bool busy_ = false;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace orvane::site::testkit
