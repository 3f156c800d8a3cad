#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>

#include "geo.h"
#include "orvane/site/standin/place.h"
#include "orvane/site/standin/time_zone_database.h"

namespace orvane::site::standin::detail {

/// What one operation puts in the sites it returns.
struct SiteShape {
  std::optional<LatLng> distanceFrom;  ///< adds "distance" in metres from this point
  bool withPoi = true;
  bool withChildren = false;                           ///< adds "poi"."childrenNodes"
  const nlohmann::ordered_json* prediction = nullptr;  ///< adds "prediction"
};

/// A site record for `place`. "utcOffset" is the zone's offset at `now` in minutes.
nlohmann::ordered_json siteJson(const Place& place, const SiteShape& shape,
                                const TimeZoneDatabase& zones, std::int64_t now);

}  // namespace orvane::site::standin::detail
