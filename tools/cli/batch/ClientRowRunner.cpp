#include "ClientRowRunner.h"

#include <utility>

#include <orvane/site/CallOptions.h>

namespace orvane::site::cli::batch {
namespace {

// The option client's one-result handler in the shape the rows' handlers take.
template <class Response, class Handler>
auto adapted(Handler handler) {
  return [handler = std::move(handler)](Result<Response> result) {
    if (result.ok()) {
      handler(std::move(result).value(), std::nullopt);
    } else {
      handler(nullptr, result.error());
    }
  };
}

template <class Response>
RowRunner::Cancel cancelOf(Call<Response> call) {
  return [call = std::move(call)] { call.cancel(); };
}

}  // namespace

ClientRowRunner::ClientRowRunner(ClientOptions options)
    : client_(std::make_unique<SiteClient>(std::move(options))) {}

RowRunner::Cancel ClientRowRunner::geocode(GeocodeRequest request, GeocodeHandler handler) {
  return cancelOf(client_->geocode(std::move(request), CallOptions(),
                                   adapted<GeocodeResponse>(std::move(handler))));
}

RowRunner::Cancel ClientRowRunner::reverseGeocode(ReverseGeocodeRequest request,
                                                  ReverseGeocodeHandler handler) {
  return cancelOf(client_->reverseGeocode(std::move(request), CallOptions(),
                                          adapted<ReverseGeocodeResponse>(std::move(handler))));
}

RowRunner::Cancel ClientRowRunner::textSearch(TextSearchRequest request,
                                              TextSearchHandler handler) {
  return cancelOf(client_->textSearch(std::move(request), CallOptions(),
                                      adapted<TextSearchResponse>(std::move(handler))));
}

RowRunner::Cancel ClientRowRunner::timezone(TimezoneRequest request, TimezoneHandler handler) {
  return cancelOf(client_->timezone(std::move(request), CallOptions(),
                                    adapted<TimezoneResponse>(std::move(handler))));
}

}  // namespace orvane::site::cli::batch
