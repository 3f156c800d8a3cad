#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "orvane/site/testing/FormerNamespace.h"
#include "orvane/site/testing/HttpReplies.h"
#include "orvane/site/transport/HttpTransport.h"

namespace orvane::site::testkit {

/// A transport driven step by step by the test, on the test's thread.
///
/// `send`, `runAfter` and `post` only record (they are thread-safe). The test then answers
/// requests, fires timers on a fake clock and runs posted tasks; every completion and task runs
/// on the calling test thread, inside the call that releases it. Nothing sleeps and nothing
/// depends on real time, so retry schedules are checked exactly and instantly.
class FakeTransport final : public HttpTransport {
 public:
  void send(HttpRequest request, Completion completion) override;
  /// Like `send`; cancelling the handle drops the request's completion (it never runs) and
  /// records the cancellation.
  std::shared_ptr<Exchange> sendCancellable(HttpRequest request, Completion completion) override;
  void runAfter(std::chrono::nanoseconds delay, Task task) override;
  void post(Task task) override;

  /// Every request sent so far, in order.
  std::vector<HttpRequest> requests() const;
  /// How many requests were sent so far.
  std::size_t requestCount() const;
  /// The most recent request. Fails the test (and returns an empty one) when there is none.
  HttpRequest lastRequest() const;
  /// Requests sent and not answered yet.
  std::size_t pendingRequestCount() const;
  /// Requests whose exchange was cancelled while unanswered (their index in `requests()`).
  std::vector<std::size_t> cancelledRequests() const;

  /// Answers the oldest unanswered request; returns false when there is none.
  bool answer(HttpOutcome outcome);
  /// Answers the oldest unanswered request with an HTTP reply.
  bool reply(long statusCode, std::string body = std::string()) {
    return answer(httpReply(statusCode, std::move(body)));
  }
  /// Ends the oldest unanswered request with `failure`, without a reply.
  bool fail(HttpOutcome::Failure failure) { return answer(httpFailure(failure)); }

  /// The delay of every `runAfter` so far, in the order they were asked for.
  std::vector<std::chrono::nanoseconds> timerDelays() const;
  /// Timers asked for and not fired yet.
  std::size_t pendingTimerCount() const;
  /// Moves the fake clock to the earliest pending timer and runs it; false when none is pending.
  bool fireNextTimer();
  /// Time on the fake clock: the sum of the waits fired so far.
  std::chrono::nanoseconds now() const;

  /// Runs posted tasks, including those they post, until none is left; returns how many ran.
  std::size_t runPosted();

  /// Runs posted tasks and fires timers until only unanswered requests (if any) are left.
  void runUntilIdle();

  /// Forgets unanswered requests, timers and tasks without running them. Their callbacks often
  /// hold whoever holds this transport: call it at the end of a test that leaves work behind.
  void dropPending();

 private:
  struct Pending {
    std::size_t index;
    Completion completion;
  };
  class FakeExchange;
  void cancelRequest(std::size_t index);
  struct Timer {
    std::chrono::nanoseconds deadline;
    std::size_t order;
    Task task;
  };

  mutable std::mutex mutex_;
  std::vector<HttpRequest> requests_;
  std::deque<Pending> pending_;
  std::vector<std::size_t> cancelled_;
  std::vector<std::chrono::nanoseconds> delays_;
  std::vector<Timer> timers_;
  std::deque<Task> tasks_;
  std::chrono::nanoseconds now_{0};
  std::size_t timerOrder_ = 0;
};

}  // namespace orvane::site::testkit
