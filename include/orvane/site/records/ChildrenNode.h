#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orvane/site/records/Coordinate.h"

namespace orvane::site {

/// One child place of a POI (for example a terminal of an airport).
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one. Held by std::shared_ptr; not synchronised.
class ChildrenNode {
 public:
  std::optional<std::string> siteId;
  std::optional<std::string> name;
  std::optional<std::string> formatAddress;
  std::optional<Coordinate> location;
  /// POI types in the service's own vocabulary (see OvLocationType).
  std::optional<std::vector<std::string>> ovPoiTypes;
  /// Domestic/international marker, as the service words it.
  std::optional<std::string> domeAndInt;
  /// Departure/arrival marker, as the service words it.
  std::optional<std::string> depAndArr;
};

}  // namespace orvane::site
