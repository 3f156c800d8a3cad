#include "geo.h"

#include <algorithm>
#include <cmath>

namespace orvane::site::standin::detail {
namespace {

constexpr double kEarthRadiusMeters = 6371008.8;
constexpr double kPi = 3.14159265358979323846;

double radians(double degrees) { return degrees * kPi / 180; }

}  // namespace

bool Box::contains(const LatLng& p) const {
  if (p.lat < southwest.lat || p.lat > northeast.lat) return false;
  if (southwest.lng <= northeast.lng) return p.lng >= southwest.lng && p.lng <= northeast.lng;
  return p.lng >= southwest.lng || p.lng <= northeast.lng;
}

double distanceMeters(const LatLng& a, const LatLng& b) {
  // Haversine: well conditioned for the short distances that matter most here.
  const double dLat = radians(b.lat - a.lat);
  const double dLng = radians(b.lng - a.lng);
  const double h =
      std::sin(dLat / 2) * std::sin(dLat / 2) +
      std::cos(radians(a.lat)) * std::cos(radians(b.lat)) * std::sin(dLng / 2) * std::sin(dLng / 2);
  return 2 * kEarthRadiusMeters * std::asin(std::min(1.0, std::sqrt(h)));
}

Box boxAround(const LatLng& center, double halfSideMeters) {
  const double dLat = halfSideMeters / kEarthRadiusMeters * 180 / kPi;
  const double cosLat = std::max(0.01, std::cos(radians(center.lat)));
  const double dLng = std::min(180.0, dLat / cosLat);
  auto wrap = [](double lng) { return lng > 180 ? lng - 360 : (lng < -180 ? lng + 360 : lng); };
  return Box{{std::min(90.0, center.lat + dLat), wrap(center.lng + dLng)},
             {std::max(-90.0, center.lat - dLat), wrap(center.lng - dLng)}};
}

}  // namespace orvane::site::standin::detail
