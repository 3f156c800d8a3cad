#include "orvane/site/testing/FakeTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

namespace orvane::site::testkit {

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

}  // namespace orvane::site::testkit
