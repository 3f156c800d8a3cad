#pragma once

#include <optional>
#include <string_view>

#include "orvane/site/Error.h"
#include "orvane/site/Export.h"
#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// A box given by its north-east and south-west corners, passed on unchanged (the corners are
/// not checked against each other).
///
/// A plain value. In replies it is {"northeast": {...}, "southwest": {...}}; both corners are
/// required there.
struct ORVANE_SITE_EXPORT CoordinateBounds {
  /// A box from its north-east and south-west corners.
  CoordinateBounds(Coordinate northeast, Coordinate southwest) noexcept
      : northeast(northeast), southwest(southwest) {}

  /// The reply's "northeast" (required).
  Coordinate northeast;
  /// The reply's "southwest" (required).
  Coordinate southwest;

  /// Decodes the JSON text of one bounds object by the same strict rules as replies. On
  /// failure returns std::nullopt and, when `error` is given, stores the decoding Error there.
  /// Never throws; thread-safe.
  static std::optional<CoordinateBounds> decode(std::string_view json, Error* error = nullptr);
};

}  // namespace orvane::site
