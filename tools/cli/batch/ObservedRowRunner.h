#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include <orvane/site/CallObserver.h>

#include "RowRunner.h"

namespace orvane::site::cli::batch {

/// Tells an observer (the job's CallStats) when each row's call starts and ends and how long
/// it took, around another runner.
class ObservedRowRunner : public RowRunner {
 public:
  ObservedRowRunner(RowRunner& inner, std::shared_ptr<CallObserver> observer)
      : inner_(inner), observer_(std::move(observer)) {}

  Cancel geocode(GeocodeRequest request, GeocodeHandler handler) override;
  Cancel reverseGeocode(ReverseGeocodeRequest request, ReverseGeocodeHandler handler) override;
  Cancel textSearch(TextSearchRequest request, TextSearchHandler handler) override;
  Cancel timezone(TimezoneRequest request, TimezoneHandler handler) override;

 private:
  template <class Response>
  std::function<void(std::shared_ptr<Response>, std::optional<Error>)> observed(
      const char* operation,
      std::function<void(std::shared_ptr<Response>, std::optional<Error>)> handler);

  RowRunner& inner_;
  std::shared_ptr<CallObserver> observer_;
  std::atomic<std::uint64_t> nextCallId_{1};
};

}  // namespace orvane::site::cli::batch
