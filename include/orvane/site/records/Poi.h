#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/records/ChildrenNode.h"
#include "orvane/site/records/OpeningHours.h"

namespace orvane::site {

/// The point-of-interest details of a place.
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one. Held by std::shared_ptr; not synchronised.
class Poi {
 public:
  /// POI types in the generic vocabulary (see LocationType).
  std::optional<std::vector<std::string>> poiTypes;
  /// POI types in the service's own vocabulary (see OvLocationType).
  std::optional<std::vector<std::string>> ovPoiTypes;
  std::optional<std::string> phone;
  std::optional<std::string> internationalPhone;
  std::optional<double> rating;
  std::optional<std::string> websiteUrl;
  /// nullptr when the reply has no opening hours.
  std::shared_ptr<OpeningHours> openingHours;
  std::optional<std::vector<std::string>> photoUrls;
  std::optional<std::int64_t> priceLevel;
  std::optional<std::string> businessStatus;
  std::optional<std::vector<std::shared_ptr<ChildrenNode>>> childrenNodes;
};

}  // namespace orvane::site
