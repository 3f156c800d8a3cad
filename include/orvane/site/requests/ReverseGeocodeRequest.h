#pragma once

#include <optional>
#include <string>
#include <utility>

#include "orvane/site/Export.h"
#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// What a reverse geocoding turns into places: a position, optionally with a language and a
/// flag asking for POI results.
///
/// A plain value, copied into the call. Absent fields are left out of the request body; a
/// present false is sent.
struct ORVANE_SITE_EXPORT ReverseGeocodeRequest {
  /// Takes every field, in order, with no defaults.
  ReverseGeocodeRequest(Coordinate location, std::optional<std::string> language,
                        std::optional<bool> returnPoi)
      : location(location), language(std::move(language)), returnPoi(returnPoi) {}

  /// "location" in the request body (always sent).
  Coordinate location;
  /// "language" in the request body; std::nullopt leaves it out.
  std::optional<std::string> language;
  /// "returnPoi" in the request body; std::nullopt leaves it out.
  std::optional<bool> returnPoi;
};

}  // namespace orvane::site
