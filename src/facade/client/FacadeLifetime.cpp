#include "facade/client/FacadeLifetime.h"

#include <algorithm>

namespace orvane::site::internal {

FacadeLifetime::Entry::Entry(FacadeLifetime& lifetime)
    : lifetime_(lifetime), admitted_(lifetime.enter()) {}

FacadeLifetime::Entry::~Entry() {
  if (admitted_) lifetime_.leave();
}

bool FacadeLifetime::enter() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (ended_) return false;
  running_.push_back(std::this_thread::get_id());
  return true;
}

void FacadeLifetime::leave() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto entry = std::find(running_.begin(), running_.end(), std::this_thread::get_id());
    if (entry != running_.end()) running_.erase(entry);
  }
  idle_.notify_all();
}

bool FacadeLifetime::othersRunning() const {
  const std::thread::id self = std::this_thread::get_id();
  return std::any_of(running_.begin(), running_.end(),
                     [self](std::thread::id id) { return id != self; });
}

void FacadeLifetime::end() {
  std::unique_lock<std::mutex> lock(mutex_);
  ended_ = true;
  idle_.wait(lock, [this] { return !othersRunning(); });
}

}  // namespace orvane::site::internal
