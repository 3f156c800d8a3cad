#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orvane/site/Export.h"
#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// One child place of a POI (for example a terminal of an airport).
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one. Held by std::shared_ptr; not synchronised.
class ORVANE_SITE_EXPORT ChildrenNode {
 public:
  /// The reply's "siteId"; empty when absent or null.
  std::optional<std::string> siteId;
  /// The reply's "name"; empty when absent or null.
  std::optional<std::string> name;
  /// The reply's "formatAddress"; empty when absent or null.
  std::optional<std::string> formatAddress;
  /// The reply's "location"; empty when absent or null.
  std::optional<Coordinate> location;
  /// POI types in the service's own vocabulary (see OvLocationType).
  std::optional<std::vector<std::string>> ovPoiTypes;
  /// Domestic/international marker, as the service words it.
  std::optional<std::string> domeAndInt;
  /// Departure/arrival marker, as the service words it.
  std::optional<std::string> depAndArr;
};

}  // namespace orvane::site
