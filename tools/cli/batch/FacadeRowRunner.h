#pragma once

#include <memory>

#include <orvane/site/ApiContext.h>

#include "RowRunner.h"

namespace orvane::site::cli::batch {

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
