#include "pipeline/Admission.h"

#include <utility>

namespace orvane::site::internal {

Admission::Answer Admission::admit(const std::shared_ptr<Waiter>& waiter) {
  if (maxInFlight_ == 0) return Answer::granted;
  std::lock_guard<std::mutex> lock(mutex_);
  if (inFlight_ < maxInFlight_) {
    ++inFlight_;
    return Answer::granted;
  }
  if (waiting_.size() >= maxQueued_) return Answer::full;
  waiting_.push_back(waiter);
  return Answer::queued;
}

void Admission::release() {
  if (maxInFlight_ == 0) return;
  for (;;) {
    std::shared_ptr<Waiter> next;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (waiting_.empty()) {
        if (inFlight_ > 0) --inFlight_;
        return;
      }
      next = std::move(waiting_.front());
      waiting_.pop_front();
    }
    // The place passes on unless that call has ended meanwhile.
    if (next->takePlace()) return;
  }
}

void Admission::forget(const Waiter* waiter) {
  std::shared_ptr<Waiter> released;  // destroyed after the lock is released
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto at = waiting_.begin(); at != waiting_.end(); ++at) {
    if (at->get() != waiter) continue;
    released = std::move(*at);
    waiting_.erase(at);
    return;
  }
}

}  // namespace orvane::site::internal
