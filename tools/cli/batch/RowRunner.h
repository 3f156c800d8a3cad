#pragma once

#include <functional>
#include <memory>

#include <orvane/site/ApiContext.h>
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

/// Runs rows through the shared facade with one connection context. Its calls cannot be
/// cancelled: an interrupted job stops waiting for them instead.
class FacadeRowRunner : public RowRunner {
 public:
  explicit FacadeRowRunner(std::shared_ptr<ApiContext> context) : context_(std::move(context)) {}

  Cancel geocode(GeocodeRequest request, GeocodeHandler handler) override;
  Cancel reverseGeocode(ReverseGeocodeRequest request, ReverseGeocodeHandler handler) override;
  Cancel textSearch(TextSearchRequest request, TextSearchHandler handler) override;
  Cancel timezone(TimezoneRequest request, TimezoneHandler handler) override;

 private:
  std::shared_ptr<ApiContext> context_;
};

}  // namespace orvane::site::cli::batch
