#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "orvane/site/Export.h"
#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// What a time-zone lookup asks for: the zone that holds a position at a moment.
///
/// A plain value, copied into the call. `timestamp` is passed to the service unchanged (the
/// library gives it no unit and no range); an absent `language` is left out of the body.
struct ORVANE_SITE_EXPORT TimezoneRequest {
  /// Takes every field, in order, with no defaults.
  TimezoneRequest(Coordinate location, std::int64_t timestamp, std::optional<std::string> language)
      : location(location), timestamp(timestamp), language(std::move(language)) {}

  /// "location" in the request body (always sent).
  Coordinate location;
  /// "timestamp" in the request body (always sent).
  std::int64_t timestamp;
  /// "language" in the request body; std::nullopt leaves it out.
  std::optional<std::string> language;
};

}  // namespace orvane::site
