#include "ObservedRowRunner.h"

#include <chrono>
#include <utility>

namespace orvane::site::cli::batch {

template <class Response>
std::function<void(std::shared_ptr<Response>, std::optional<Error>)> ObservedRowRunner::observed(
    const char* operation,
    std::function<void(std::shared_ptr<Response>, std::optional<Error>)> handler) {
  const std::uint64_t callId = nextCallId_.fetch_add(1);
  observer_->onCallStart(CallObserver::CallStart{operation, callId});
  const auto started = std::chrono::steady_clock::now();
  return [observer = observer_, operation, callId, started, handler = std::move(handler)](
             std::shared_ptr<Response> response, std::optional<Error> error) {
    CallObserver::CallEnd end;
    end.operation = operation;
    end.callId = callId;
    end.error = error ? &*error : nullptr;
    end.attempts = 1;
    end.duration = std::chrono::steady_clock::now() - started;
    observer->onCallEnd(end);
    handler(std::move(response), std::move(error));
  };
}

RowRunner::Cancel ObservedRowRunner::geocode(GeocodeRequest request, GeocodeHandler handler) {
  return inner_.geocode(std::move(request),
                        observed<GeocodeResponse>("geocode", std::move(handler)));
}

RowRunner::Cancel ObservedRowRunner::reverseGeocode(ReverseGeocodeRequest request,
                                                    ReverseGeocodeHandler handler) {
  return inner_.reverseGeocode(
      std::move(request), observed<ReverseGeocodeResponse>("reverseGeocode", std::move(handler)));
}

RowRunner::Cancel ObservedRowRunner::textSearch(TextSearchRequest request,
                                                TextSearchHandler handler) {
  return inner_.textSearch(std::move(request),
                           observed<TextSearchResponse>("textSearch", std::move(handler)));
}

RowRunner::Cancel ObservedRowRunner::timezone(TimezoneRequest request, TimezoneHandler handler) {
  return inner_.timezone(std::move(request),
                         observed<TimezoneResponse>("timezone", std::move(handler)));
}

}  // namespace orvane::site::cli::batch
