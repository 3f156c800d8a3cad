#pragma once

#include <optional>
#include <string>

#include "orvane/site/Export.h"

namespace orvane::site {

/// The structured postal address of a place ("address" of a site), as the service sends it.
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one (for example to build fake replies in tests). Held by
/// std::shared_ptr; not synchronised.
class ORVANE_SITE_EXPORT AddressDetail {
 public:
  /// The reply's "countryCode"; empty when absent or null.
  std::optional<std::string> countryCode;
  /// The reply's "country"; empty when absent or null.
  std::optional<std::string> country;
  /// First-level administrative area.
  std::optional<std::string> adminArea;
  /// Second-level administrative area.
  std::optional<std::string> subAdminArea;
  /// Third-level administrative area.
  std::optional<std::string> tertiaryAdminArea;
  /// District within the locality.
  std::optional<std::string> subLocality;
  /// City or town.
  std::optional<std::string> locality;
  /// Street.
  std::optional<std::string> thoroughfare;
  /// The reply's "streetNumber"; empty when absent or null.
  std::optional<std::string> streetNumber;
  /// The reply's "postalCode"; empty when absent or null.
  std::optional<std::string> postalCode;
};

}  // namespace orvane::site
