#include "FacadeRowRunner.h"

#include <utility>

#include <orvane/site/SiteClient.h>

namespace orvane::site::cli::batch {

RowRunner::Cancel FacadeRowRunner::geocode(GeocodeRequest request, GeocodeHandler handler) {
  SiteClient::shared().geocode(std::move(request), context_, std::move(handler));
  return {};
}

RowRunner::Cancel FacadeRowRunner::reverseGeocode(ReverseGeocodeRequest request,
                                                  ReverseGeocodeHandler handler) {
  SiteClient::shared().reverseGeocode(std::move(request), context_, std::move(handler));
  return {};
}

RowRunner::Cancel FacadeRowRunner::textSearch(TextSearchRequest request,
                                              TextSearchHandler handler) {
  SiteClient::shared().textSearch(std::move(request), context_, std::move(handler));
  return {};
}

RowRunner::Cancel FacadeRowRunner::timezone(TimezoneRequest request, TimezoneHandler handler) {
  SiteClient::shared().timezone(std::move(request), context_, std::move(handler));
  return {};
}

}  // namespace orvane::site::cli::batch
