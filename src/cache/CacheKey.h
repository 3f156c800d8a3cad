#pragma once

#include <cmath>
#include <string>
#include <string_view>

#include "orvane/site/requests/ReverseGeocodeRequest.h"
#include "orvane/site/requests/TimezoneRequest.h"

namespace orvane::site::internal {

/// What sets a client's entries apart from every other client's: its host and a digest of its
/// API key (the key itself is never kept).
std::string clientScope(const std::string& host, const std::string& apiKey);

/// The key of a call: operation, scope and request body.
std::string cacheKey(std::string_view operation, const std::string& scope, const std::string& body);

/// `value` on a grid of `degrees`.
inline double onGrid(double value, double degrees) { return std::round(value / degrees) * degrees; }

/// Moves the position of a request that has one onto the grid; false for other requests, whose
/// key is the body sent.
template <class Request>
bool roundPosition(Request& /*request*/, double /*degrees*/) {
  return false;
}
inline bool roundPosition(ReverseGeocodeRequest& request, double degrees) {
  request.location =
      Coordinate(onGrid(request.location.lat, degrees), onGrid(request.location.lng, degrees));
  return true;
}
// The timestamp stays exact: rounded, it could cross a change of offset.
inline bool roundPosition(TimezoneRequest& request, double degrees) {
  request.location =
      Coordinate(onGrid(request.location.lat, degrees), onGrid(request.location.lng, degrees));
  return true;
}

}  // namespace orvane::site::internal
