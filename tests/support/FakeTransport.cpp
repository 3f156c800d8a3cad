#include "support/FakeTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace orvane::site::testing {

HttpOutcome httpReply(long statusCode, std::string body) {
  HttpOutcome outcome;
  outcome.statusCode = statusCode;
  outcome.body = std::move(body);
  return outcome;
}

HttpOutcome httpFailure(HttpOutcome::Failure failure, std::string detail) {
  HttpOutcome outcome;
  outcome.failure = failure;
  outcome.failureDetail = std::move(detail);
  return outcome;
}

void FakeTransport::send(HttpRequest request, Completion completion) {
  std::lock_guard<std::mutex> lock(mutex_);
  requests_.push_back(std::move(request));
  pending_.push_back(Pending{requests_.size() - 1, std::move(completion)});
}

class FakeTransport::FakeExchange final : public HttpTransport::Exchange {
 public:
  FakeExchange(FakeTransport& transport, std::size_t index)
      : transport_(transport), index_(index) {}
  void cancel() override { transport_.cancelRequest(index_); }

 private:
  FakeTransport& transport_;
  std::size_t index_;
};

std::shared_ptr<HttpTransport::Exchange> FakeTransport::sendCancellable(HttpRequest request,
                                                                        Completion completion) {
  std::size_t index = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(std::move(request));
    index = requests_.size() - 1;
    pending_.push_back(Pending{index, std::move(completion)});
  }
  return std::make_shared<FakeExchange>(*this, index);
}

void FakeTransport::cancelRequest(std::size_t index) {
  Completion dropped;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto at = pending_.begin(); at != pending_.end(); ++at) {
    if (at->index != index) continue;
    dropped = std::move(at->completion);
    pending_.erase(at);
    cancelled_.push_back(index);
    return;
  }
}

std::vector<std::size_t> FakeTransport::cancelledRequests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return cancelled_;
}

void FakeTransport::runAfter(std::chrono::nanoseconds delay, Task task) {
  std::lock_guard<std::mutex> lock(mutex_);
  delays_.push_back(delay);
  const auto wait = std::max(delay, std::chrono::nanoseconds::zero());
  timers_.push_back(Timer{now_ + wait, timerOrder_++, std::move(task)});
}

void FakeTransport::post(Task task) {
  std::lock_guard<std::mutex> lock(mutex_);
  tasks_.push_back(std::move(task));
}

std::vector<HttpRequest> FakeTransport::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::size_t FakeTransport::requestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

HttpRequest FakeTransport::lastRequest() const {
  std::lock_guard<std::mutex> lock(mutex_);
  if (requests_.empty()) {
    ADD_FAILURE() << "no request was sent";
    return HttpRequest();
  }
  return requests_.back();
}

std::size_t FakeTransport::pendingRequestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pending_.size();
}

bool FakeTransport::answer(HttpOutcome outcome) {
  Completion completion;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (pending_.empty()) return false;
    completion = std::move(pending_.front().completion);
    pending_.pop_front();
  }
  if (completion) completion(std::move(outcome));
  return true;
}

std::vector<std::chrono::nanoseconds> FakeTransport::timerDelays() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return delays_;
}

std::size_t FakeTransport::pendingTimerCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return timers_.size();
}

bool FakeTransport::fireNextTimer() {
  Task task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (timers_.empty()) return false;
    auto next =
        std::min_element(timers_.begin(), timers_.end(), [](const Timer& a, const Timer& b) {
          return a.deadline != b.deadline ? a.deadline < b.deadline : a.order < b.order;
        });
    now_ = std::max(now_, next->deadline);
    task = std::move(next->task);
    timers_.erase(next);
  }
  if (task) task();
  return true;
}

std::chrono::nanoseconds FakeTransport::now() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return now_;
}

std::size_t FakeTransport::runPosted() {
  std::size_t ran = 0;
  for (;;) {
    Task task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (tasks_.empty()) return ran;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    if (task) task();
    ++ran;
  }
}

void FakeTransport::runUntilIdle() {
  do {
    runPosted();
  } while (fireNextTimer());
}

void FakeTransport::dropPending() {
  std::deque<Pending> pending;
  std::vector<Timer> timers;
  std::deque<Task> tasks;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    pending.swap(pending_);
    timers.swap(timers_);
    tasks.swap(tasks_);
  }
  // Destroyed here, outside the lock: they may release objects that use this transport.
}

AutoAnsweringTransport::AutoAnsweringTransport(Responder responder)
    : responder_(std::move(responder)), worker_([this] { work(); }) {}

AutoAnsweringTransport::~AutoAnsweringTransport() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void AutoAnsweringTransport::send(HttpRequest request, Completion completion) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  enqueue([this, request = std::move(request), completion = std::move(completion)] {
    HttpOutcome outcome = responder_ ? responder_(request) : httpReply(200, "{}");
    if (completion) completion(std::move(outcome));
  });
}

void AutoAnsweringTransport::runAfter(std::chrono::nanoseconds delay, Task task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    delays_.push_back(delay);
  }
  enqueue(std::move(task));
}

void AutoAnsweringTransport::post(Task task) { enqueue(std::move(task)); }

std::vector<HttpRequest> AutoAnsweringTransport::requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

std::size_t AutoAnsweringTransport::requestCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

std::vector<std::chrono::nanoseconds> AutoAnsweringTransport::timerDelays() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return delays_;
}

void AutoAnsweringTransport::waitUntilIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void AutoAnsweringTransport::enqueue(Task task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(task));
  }
  changed_.notify_all();
}

void AutoAnsweringTransport::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and everything queued has run
    Task task = std::move(queue_.front());
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    try {
      if (task) task();
    } catch (...) {
      ADD_FAILURE() << "a task of AutoAnsweringTransport threw";
    }
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace orvane::site::testing
