#include "ImmediateTransport.h"

#include <utility>

namespace orvane::site::fuzzing {

void ImmediateTransport::send(HttpRequest request, Completion completion) {
  requests_.push_back(request);
  pending_.emplace_back(std::move(request), std::move(completion));
}

void ImmediateTransport::runAfter(std::chrono::nanoseconds delay, Task task) {
  delays_.push_back(delay);
  tasks_.push_back(std::move(task));
}

void ImmediateTransport::post(Task task) { tasks_.push_back(std::move(task)); }

bool ImmediateTransport::drain(const Responder& responder, std::size_t maxSteps) {
  for (std::size_t step = 0; step < maxSteps; ++step) {
    if (!tasks_.empty()) {
      Task task = std::move(tasks_.front());
      tasks_.pop_front();
      task();
    } else if (!pending_.empty()) {
      auto [request, completion] = std::move(pending_.front());
      pending_.pop_front();
      completion(responder(request));
    } else {
      return true;
    }
  }
  return tasks_.empty() && pending_.empty();
}

void ImmediateTransport::reset() {
  requests_.clear();
  delays_.clear();
  pending_.clear();
  tasks_.clear();
}

}  // namespace orvane::site::fuzzing
