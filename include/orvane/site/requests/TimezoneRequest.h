#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// What a time-zone lookup asks for: the zone that holds a position at a moment.
///
/// A plain value, copied into the call. `timestamp` is passed to the service unchanged (the
/// library gives it no unit and no range); an absent `language` is left out of the body.
struct TimezoneRequest {
  TimezoneRequest(Coordinate location, std::int64_t timestamp, std::optional<std::string> language)
      : location(location), timestamp(timestamp), language(std::move(language)) {}

  Coordinate location;
  std::int64_t timestamp;
  std::optional<std::string> language;
};

}  // namespace orvane::site
