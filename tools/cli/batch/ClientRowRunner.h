#pragma once

#include <memory>

#include <orvane/site/ClientOptions.h>
#include <orvane/site/SiteClient.h>

#include "RowRunner.h"

namespace orvane::site::cli::batch {

/// Runs rows through an option client of their own, so that each call can be cancelled (a
/// second Ctrl-C) and flow control of the options (a shared quota) applies to them.
class ClientRowRunner : public RowRunner {
 public:
  explicit ClientRowRunner(ClientOptions options);

  Cancel geocode(GeocodeRequest request, GeocodeHandler handler) override;
  Cancel reverseGeocode(ReverseGeocodeRequest request, ReverseGeocodeHandler handler) override;
  Cancel textSearch(TextSearchRequest request, TextSearchHandler handler) override;
  Cancel timezone(TimezoneRequest request, TimezoneHandler handler) override;

 private:
  std::unique_ptr<SiteClient> client_;
};

}  // namespace orvane::site::cli::batch
