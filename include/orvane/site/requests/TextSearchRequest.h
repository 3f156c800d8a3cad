#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

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
struct TextSearchRequest {
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

  std::string query;
  std::optional<Coordinate> location;
  std::optional<std::int64_t> radius;
  std::optional<std::string> poiType;
  std::optional<std::string> ovPoiType;
  std::optional<std::string> countryCode;
  std::optional<std::string> language;
  std::optional<std::int64_t> pageSize;
  std::optional<std::int64_t> pageIndex;
  std::optional<bool> children;
};

}  // namespace orvane::site
