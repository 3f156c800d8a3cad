#pragma once

namespace orvane::site::standin::detail {

struct LatLng {
  double lat = 0;
  double lng = 0;
};

/// A box given by its north-east and south-west corners. A box whose west edge lies east of its
/// east edge crosses the antimeridian.
struct Box {
  LatLng northeast;
  LatLng southwest;

  bool contains(const LatLng& point) const;
};

/// Great-circle distance in metres on a sphere of the Earth's mean radius.
double distanceMeters(const LatLng& a, const LatLng& b);

/// A box of about `halfSideMeters` around `center`, clamped to valid latitudes and longitudes.
Box boxAround(const LatLng& center, double halfSideMeters);

}  // namespace orvane::site::standin::detail
