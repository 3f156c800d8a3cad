#include "site_json.h"

#include <cmath>

#include "generated_details.h"

namespace orvane::site::standin::detail {
namespace {

constexpr double kViewportHalfSideMeters = 10000;

nlohmann::ordered_json coordinate(const LatLng& point) {
  return {{"lat", point.lat}, {"lng", point.lng}};
}

}  // namespace

nlohmann::ordered_json siteJson(const Place& place, const SiteShape& shape,
                                const TimeZoneDatabase& zones, std::int64_t now) {
  const LatLng location{place.lat, place.lng};
  const Box viewport = boxAround(location, kViewportHalfSideMeters);
  nlohmann::ordered_json site = {{"siteId", place.siteId},
                                 {"name", place.name},
                                 {"formatAddress", generatedFormatAddress(place)},
                                 {"address", generatedAddress(place)},
                                 {"location", coordinate(location)},
                                 {"viewport",
                                  {{"northeast", coordinate(viewport.northeast)},
                                   {"southwest", coordinate(viewport.southwest)}}}};
  if (shape.distanceFrom) {
    // Whole decimetres keep the numbers short and stable.
    site["distance"] = std::round(distanceMeters(*shape.distanceFrom, location) * 10) / 10;
  }
  if (shape.withPoi) site["poi"] = generatedPoi(place, shape.withChildren);
  if (shape.prediction != nullptr) site["prediction"] = *shape.prediction;
  const ZoneOffsets offsets = zones.offsetsAt(place.zoneId, now);
  site["utcOffset"] = (offsets.rawOffset + offsets.dstOffset) / 60;
  return site;
}

}  // namespace orvane::site::standin::detail
