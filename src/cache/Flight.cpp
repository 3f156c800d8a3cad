#include "cache/Flight.h"

#include <algorithm>
#include <utility>

namespace orvane::site::internal {

std::shared_ptr<Flight> FlightTable::joinOrOpen(const std::string& key,
                                                const std::shared_ptr<CachedCall>& caller,
                                                bool& opened) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto [found, inserted] = flights_.try_emplace(key);
  if (inserted) found->second = std::make_shared<Flight>(key);
  opened = inserted;
  found->second->callers_.push_back(caller);
  return found->second;
}

void FlightTable::attach(const std::shared_ptr<Flight>& flight, const CallHandle& request) {
  bool abandoned = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // Closed already: every caller left (cancel it), or it ended (cancelling changes nothing).
    abandoned = !flight->open_;
    if (!abandoned) flight->request_ = request;
  }
  if (abandoned) request.cancel();
}

void FlightTable::leave(const std::shared_ptr<Flight>& flight, const CachedCall* caller) {
  CallHandle request;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto& callers = flight->callers_;
    callers.erase(std::remove_if(callers.begin(), callers.end(),
                                 [caller](const auto& each) { return each.get() == caller; }),
                  callers.end());
    if (!callers.empty() || !flight->open_) return;
    closeLocked(*flight);
    request = flight->request_;
  }
  // Outside the lock: the request's end comes back through finish().
  request.cancel();
}

std::vector<std::shared_ptr<CachedCall>> FlightTable::finish(
    const std::shared_ptr<Flight>& flight) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (flight->open_) closeLocked(*flight);
  flight->request_ = CallHandle();  // the request holds the flight: no cycle is left
  return std::exchange(flight->callers_, {});
}

void FlightTable::closeLocked(Flight& flight) {
  flight.open_ = false;
  auto found = flights_.find(flight.key());
  if (found != flights_.end() && found->second.get() == &flight) flights_.erase(found);
}

std::size_t FlightTable::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return flights_.size();
}

}  // namespace orvane::site::internal
