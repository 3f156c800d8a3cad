#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "orvane/site/Export.h"
#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// What a query autocomplete completes: a partly typed query, optionally near a point, with a
/// language and a request for child places.
///
/// A plain value, copied into the call. Absent fields are left out of the request body; present
/// zero, false or empty values are sent.
struct ORVANE_SITE_EXPORT QueryAutocompleteRequest {
  /// Takes every field, in order, with no defaults.
  QueryAutocompleteRequest(std::string query, std::optional<Coordinate> location,
                           std::optional<std::int64_t> radius, std::optional<std::string> language,
                           std::optional<bool> children)
      : query(std::move(query)),
        location(location),
        radius(radius),
        language(std::move(language)),
        children(children) {}

  /// "query" in the request body (always sent).
  std::string query;
  /// "location" in the request body; std::nullopt leaves it out.
  std::optional<Coordinate> location;
  /// "radius" in the request body; std::nullopt leaves it out.
  std::optional<std::int64_t> radius;
  /// "language" in the request body; std::nullopt leaves it out.
  std::optional<std::string> language;
  /// "children" in the request body; std::nullopt leaves it out.
  std::optional<bool> children;
};

}  // namespace orvane::site
