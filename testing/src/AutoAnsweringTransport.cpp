#include "orvane/site/testing/AutoAnsweringTransport.h"

#include <gtest/gtest.h>

#include <utility>

namespace orvane::site::testkit {

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

}  // namespace orvane::site::testkit
