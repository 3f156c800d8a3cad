#pragma once

#include <functional>
#include <memory>

#include <orvane/site/handlers/GeocodeHandler.h>
#include <orvane/site/handlers/ReverseGeocodeHandler.h>
#include <orvane/site/handlers/TextSearchHandler.h>
#include <orvane/site/handlers/TimezoneHandler.h>
#include <orvane/site/requests/GeocodeRequest.h>
#include <orvane/site/requests/ReverseGeocodeRequest.h>
#include <orvane/site/requests/TextSearchRequest.h>
#include <orvane/site/requests/TimezoneRequest.h>

namespace orvane::site::cli::batch {

/// Starts the call of one row. Each handler runs exactly once, on the library's thread. The
/// returned function cancels the call where the client can; it may be empty.
class RowRunner {
 public:
  using Cancel = std::function<void()>;

  virtual ~RowRunner() = default;
  virtual Cancel geocode(GeocodeRequest request, GeocodeHandler handler) = 0;
  virtual Cancel reverseGeocode(ReverseGeocodeRequest request, ReverseGeocodeHandler handler) = 0;
  virtual Cancel textSearch(TextSearchRequest request, TextSearchHandler handler) = 0;
  virtual Cancel timezone(TimezoneRequest request, TimezoneHandler handler) = 0;
};

}  // namespace orvane::site::cli::batch
