#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "orvane/site/Export.h"
#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// What a text search looks for: a free-text query, optionally near a point and filtered by POI
/// type, country and language, one page at a time.
///
/// A plain value, copied into the call. Absent fields are left out of the request body; present
/// zero, false or empty values are sent. `poiType` (a LocationType value) and `ovPoiType` (an
/// OvLocationType value) are upper-cased before sending; nothing is validated.
///
/// \code
/// TextSearchRequest req("coffee", Coordinate(48.85, 2.35), 1000, std::nullopt, std::nullopt,
///                       std::nullopt, "en", 20, 1, std::nullopt);
/// \endcode
struct ORVANE_SITE_EXPORT TextSearchRequest {
  /// Takes every field, in order, with no defaults.
  TextSearchRequest(std::string query, std::optional<Coordinate> location,
                    std::optional<std::int64_t> radius, std::optional<std::string> poiType,
                    std::optional<std::string> ovPoiType, std::optional<std::string> countryCode,
                    std::optional<std::string> language, std::optional<std::int64_t> pageSize,
                    std::optional<std::int64_t> pageIndex, std::optional<bool> children)
      : query(std::move(query)),
        location(location),
        radius(radius),
        poiType(std::move(poiType)),
        ovPoiType(std::move(ovPoiType)),
        countryCode(std::move(countryCode)),
        language(std::move(language)),
        pageSize(pageSize),
        pageIndex(pageIndex),
        children(children) {}

  /// "query" in the request body (always sent).
  std::string query;
  /// "location" in the request body; std::nullopt leaves it out.
  std::optional<Coordinate> location;
  /// "radius" in the request body; std::nullopt leaves it out.
  std::optional<std::int64_t> radius;
  /// "poiType" in the request body; std::nullopt leaves it out.
  std::optional<std::string> poiType;
  /// "ovPoiType" in the request body; std::nullopt leaves it out.
  std::optional<std::string> ovPoiType;
  /// "countryCode" in the request body; std::nullopt leaves it out.
  std::optional<std::string> countryCode;
  /// "language" in the request body; std::nullopt leaves it out.
  std::optional<std::string> language;
  /// "pageSize" in the request body; std::nullopt leaves it out.
  std::optional<std::int64_t> pageSize;
  /// "pageIndex" in the request body; std::nullopt leaves it out.
  std::optional<std::int64_t> pageIndex;
  /// "children" in the request body; std::nullopt leaves it out.
  std::optional<bool> children;
};

}  // namespace orvane::site
