#include "orvane/site/testing/ReplayTransport.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "CassetteBook.h"
#include "CassetteRecord.h"
#include "SecretMask.h"

namespace orvane::site::testkit {

ReplayTransport::ReplayTransport(const std::string& cassettePath,
                                 const std::vector<std::string>& secrets)
    : book_(std::make_unique<cassette::CassetteBook>(cassettePath)),
      mask_(std::make_unique<const cassette::SecretMask>(secrets)),
      worker_([this] { work(); }) {}

ReplayTransport::~ReplayTransport() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  worker_.join();
}

void ReplayTransport::send(HttpRequest request, Completion completion) {
  std::optional<std::string> body;
  if (request.body) body = mask_->apply(*request.body);
  cassette::Answer answer;
  {
    // Looked up now, so that identical requests take their records in the order they were sent.
    std::lock_guard<std::mutex> lock(mutex_);
    answer = book_->answer(cassette::operationOf(cassette::pathOf(request.url)),
                           cassette::requestBody(body));
  }
  schedule(Clock::now() + answer.delay,
           [outcome = std::move(answer.outcome), completion = std::move(completion)]() mutable {
             if (completion) completion(std::move(outcome));
           });
}

void ReplayTransport::runAfter(std::chrono::nanoseconds delay, Task task) {
  schedule(Clock::now() + std::max(delay, std::chrono::nanoseconds(0)), std::move(task));
}

void ReplayTransport::post(Task task) { schedule(Clock::now(), std::move(task)); }

void ReplayTransport::schedule(Clock::time_point due, Task task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    tasks_.emplace(std::make_pair(due, nextSequence_++), std::move(task));
  }
  changed_.notify_all();
}

void ReplayTransport::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    if (tasks_.empty()) {
      if (stopping_) return;
      changed_.wait(lock);
      continue;
    }
    const auto first = tasks_.begin();
    // Once stopping, nothing waits: every completion still runs, once.
    if (!stopping_ && first->first.first > Clock::now()) {
      changed_.wait_until(lock, first->first.first);
      continue;
    }
    Task task = std::move(first->second);
    tasks_.erase(first);
    lock.unlock();
    if (task) task();
    lock.lock();
  }
}

}  // namespace orvane::site::testkit
