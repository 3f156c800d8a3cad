#pragma once

#include <optional>
#include <string>

#include <nlohmann/json_fwd.hpp>

#include "orvane/site/Export.h"
#include "orvane/site/internal/client/OperationRequestClient.h"
#include "orvane/site/requests/GeocodeRequest.h"
#include "orvane/site/responses/GeocodeResponse.h"

namespace orvane::site {

/// The request client of the geocoding: its path and its body dictionary. The facade keeps one
/// for the whole process. Thread-safe (see BaseRequestClient).
class ORVANE_SITE_EXPORT GeocodeRequestClient
    : public OperationRequestClient<GeocodeRequest, GeocodeResponse> {
 public:
  /// ContextDataCache::shared()->apiPath() (read at each call) followed by "geocode";
  /// "mapApi/v1/siteService/geocode" by default.
  std::string path() const override;

  /// The body dictionary of the stored request; an empty object when none is stored. Never
  /// absent.
  nlohmann::json createBodyParameters() const;

 protected:
  std::optional<nlohmann::json> createOptionalBodyParameters() const override;
};

}  // namespace orvane::site
