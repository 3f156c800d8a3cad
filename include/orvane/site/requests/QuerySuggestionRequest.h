#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvane/site/Export.h"
#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"

namespace orvane::site {

/// What a query suggestion is asked for: a query text, optionally steered by a point and radius
/// and/or a bounding box, and filtered by POI types, country and language.
///
/// A plain value, copied into the call. Absent fields are left out of the request body; present
/// zero, false, empty text or an empty list are sent. Each element of `poiTypes` (LocationType
/// values) is upper-cased before sending.
struct ORVANE_SITE_EXPORT QuerySuggestionRequest {
  /// Takes every field, in order, with no defaults.
  QuerySuggestionRequest(std::string query, std::optional<Coordinate> location,
                         std::optional<std::int64_t> radius, std::optional<CoordinateBounds> bounds,
                         std::optional<std::vector<std::string>> poiTypes,
                         std::optional<std::string> countryCode,
                         std::optional<std::string> language, std::optional<bool> children)
      : query(std::move(query)),
        location(location),
        radius(radius),
        bounds(bounds),
        poiTypes(std::move(poiTypes)),
        countryCode(std::move(countryCode)),
        language(std::move(language)),
        children(children) {}

  /// "query" in the request body (always sent).
  std::string query;
  /// "location" in the request body; std::nullopt leaves it out.
  std::optional<Coordinate> location;
  /// "radius" in the request body; std::nullopt leaves it out.
  std::optional<std::int64_t> radius;
  /// "bounds" in the request body; std::nullopt leaves it out.
  std::optional<CoordinateBounds> bounds;
  /// "poiTypes" in the request body; std::nullopt leaves it out.
  std::optional<std::vector<std::string>> poiTypes;
  /// "countryCode" in the request body; std::nullopt leaves it out.
  std::optional<std::string> countryCode;
  /// "language" in the request body; std::nullopt leaves it out.
  std::optional<std::string> language;
  /// "children" in the request body; std::nullopt leaves it out.
  std::optional<bool> children;
};

}  // namespace orvane::site
