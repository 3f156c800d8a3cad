#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "orvane/site/CallHandle.h"
#include "orvane/site/Result.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site::internal {

class CachedCall;
class FlightTable;

/// The one request that identical calls of a client share while it is under way. It ends when
/// its request does (every caller then gets the outcome) or when the last of its callers left
/// (the request is then cancelled).
class Flight {
 public:
  explicit Flight(std::string key) : key_(std::move(key)) {}
  const std::string& key() const noexcept { return key_; }

 private:
  friend class FlightTable;
  const std::string key_;
  std::vector<std::shared_ptr<CachedCall>> callers_;
  CallHandle request_;
  bool open_ = true;
};

/// A client's flights under way, by key. Thread-safe.
class FlightTable {
 public:
  /// Adds `caller` to the flight under `key`; when there is none, opens one with it (and sets
  /// `opened`). The opener starts the request and hands it to attach().
  std::shared_ptr<Flight> joinOrOpen(const std::string& key,
                                     const std::shared_ptr<CachedCall>& caller, bool& opened);
  /// The request of a flight just opened; cancelled at once when every caller left meanwhile.
  void attach(const std::shared_ptr<Flight>& flight, const CallHandle& request);
  /// `caller` ended on its own; the last to leave cancels the request.
  void leave(const std::shared_ptr<Flight>& flight, const CachedCall* caller);
  /// The request ended: the flight closes, and its callers are returned to be answered.
  std::vector<std::shared_ptr<CachedCall>> finish(const std::shared_ptr<Flight>& flight);

  std::size_t size() const;

 private:
  void closeLocked(Flight& flight);

  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Flight>> flights_;
};

}  // namespace orvane::site::internal
