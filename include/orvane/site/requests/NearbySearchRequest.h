#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "orvane/site/Export.h"
#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// What a nearby search looks for: places around a required point, optionally narrowed by a
/// keyword, a radius, POI types and a language, one page at a time.
///
/// A plain value, copied into the call. Absent fields are left out of the request body; present
/// zero or empty values are sent. `poiType` and `ovPoiType` are upper-cased before sending.
///
/// The constructor takes its arguments in the order location, radius, query, poiType, ovPoiType,
/// language, pageSize, pageIndex, which differs from the order of the members.
struct ORVANE_SITE_EXPORT NearbySearchRequest {
  /// Takes every field, in order, with no defaults.
  NearbySearchRequest(Coordinate location, std::optional<std::int64_t> radius,
                      std::optional<std::string> query, std::optional<std::string> poiType,
                      std::optional<std::string> ovPoiType, std::optional<std::string> language,
                      std::optional<std::int64_t> pageSize, std::optional<std::int64_t> pageIndex)
      : location(location),
        radius(radius),
        query(std::move(query)),
        pageSize(pageSize),
        pageIndex(pageIndex),
        poiType(std::move(poiType)),
        ovPoiType(std::move(ovPoiType)),
        language(std::move(language)) {}

  /// "location" in the request body (always sent).
  Coordinate location;
  /// "radius" in the request body; std::nullopt leaves it out.
  std::optional<std::int64_t> radius;
  /// "query" in the request body; std::nullopt leaves it out.
  std::optional<std::string> query;
  /// "pageSize" in the request body; std::nullopt leaves it out.
  std::optional<std::int64_t> pageSize;
  /// "pageIndex" in the request body; std::nullopt leaves it out.
  std::optional<std::int64_t> pageIndex;
  /// "poiType" in the request body; std::nullopt leaves it out.
  std::optional<std::string> poiType;
  /// "ovPoiType" in the request body; std::nullopt leaves it out.
  std::optional<std::string> ovPoiType;
  /// "language" in the request body; std::nullopt leaves it out.
  std::optional<std::string> language;
};

}  // namespace orvane::site
