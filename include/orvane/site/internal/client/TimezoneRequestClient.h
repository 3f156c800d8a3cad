#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "orvane/site/Export.h"
#include "orvane/site/internal/client/OperationRequestClient.h"
#include "orvane/site/requests/TimezoneRequest.h"
#include "orvane/site/responses/TimezoneResponse.h"

namespace orvane::site {

/// The request client of the time-zone lookup: its path and its body dictionary. The facade keeps
/// one for the whole process. Thread-safe (see BaseRequestClient).
class ORVANE_SITE_EXPORT TimezoneRequestClient
    : public OperationRequestClient<TimezoneRequest, TimezoneResponse> {
 public:
  /// "mapApi/v1/timezoneService/getTimezone", whatever API path the cache holds.
  std::string path() const override;

  /// The body dictionary of the stored request; an empty object when none is stored. Never
  /// absent.
  nlohmann::json createBodyParameters() const;

 protected:
  std::optional<nlohmann::json> createOptionalBodyParameters() const override;
};

}  // namespace orvane::site
