#pragma once

#include <optional>
#include <string_view>

#include <nlohmann/json_fwd.hpp>

#include "orvane/site/Error.h"
#include "orvane/site/Export.h"

namespace orvane::site {

/// A position: latitude and longitude in degrees, passed to and from the service unchanged.
///
/// A plain value (copy it freely). In replies it is the object {"lat": number, "lng": number};
/// both members are required there. There is no empty position: a field that may lack one
/// holds a `std::optional<Coordinate>`.
struct ORVANE_SITE_EXPORT Coordinate {
  /// A position from its latitude and longitude, in degrees.
  Coordinate(double lat, double lng) noexcept : lat(lat), lng(lng) {}

  /// The reply's "lat" (required).
  double lat;
  /// The reply's "lng" (required).
  double lng;

  /// The JSON object {"lat": lat, "lng": lng}. Needs <nlohmann/json.hpp> at the call site.
  nlohmann::json encode() const;

  /// Decodes the JSON text of one coordinate object by the same strict rules as replies.
  /// On failure returns std::nullopt and, when `error` is given, stores the decoding Error
  /// there (domain "OrvaneSite.DecodingError", see DecodingErrorCode). Never throws;
  /// thread-safe.
  static std::optional<Coordinate> decode(std::string_view json, Error* error = nullptr);
};

}  // namespace orvane::site
