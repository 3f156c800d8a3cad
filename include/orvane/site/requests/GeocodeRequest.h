#pragma once

#include <optional>
#include <string>
#include <utility>

#include "orvane/site/Export.h"
#include "orvane/site/records/CoordinateBounds.h"

namespace orvane::site {

/// What a geocoding turns into places: an address text, optionally with a box the search should
/// favour and a language.
///
/// A plain value, copied into the call. Absent fields are left out of the request body; no text
/// is changed in case and the corners of the box are sent as given.
struct ORVANE_SITE_EXPORT GeocodeRequest {
  /// Takes every field, in order, with no defaults.
  GeocodeRequest(std::string address, std::optional<CoordinateBounds> bounds,
                 std::optional<std::string> language)
      : address(std::move(address)), bounds(bounds), language(std::move(language)) {}

  /// "address" in the request body (always sent).
  std::string address;
  /// "bounds" in the request body; std::nullopt leaves it out.
  std::optional<CoordinateBounds> bounds;
  /// "language" in the request body; std::nullopt leaves it out.
  std::optional<std::string> language;
};

}  // namespace orvane::site
