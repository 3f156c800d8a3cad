#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "orvane/site/Export.h"
#include "orvane/site/records/ChildrenNode.h"
#include "orvane/site/records/OpeningHours.h"

namespace orvane::site {

/// The point-of-interest details of a place.
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one. Held by std::shared_ptr; not synchronised.
class ORVANE_SITE_EXPORT Poi {
 public:
  /// POI types in the generic vocabulary (see LocationType).
  std::optional<std::vector<std::string>> poiTypes;
  /// POI types in the service's own vocabulary (see OvLocationType).
  std::optional<std::vector<std::string>> ovPoiTypes;
  /// The reply's "phone"; empty when absent or null.
  std::optional<std::string> phone;
  /// The reply's "internationalPhone"; empty when absent or null.
  std::optional<std::string> internationalPhone;
  /// The reply's "rating"; empty when absent or null.
  std::optional<double> rating;
  /// The reply's "websiteUrl"; empty when absent or null.
  std::optional<std::string> websiteUrl;
  /// nullptr when the reply has no opening hours.
  std::shared_ptr<OpeningHours> openingHours;
  /// The reply's "photoUrls"; empty when absent or null.
  std::optional<std::vector<std::string>> photoUrls;
  /// The reply's "priceLevel"; empty when absent or null.
  std::optional<std::int64_t> priceLevel;
  /// The reply's "businessStatus"; empty when absent or null.
  std::optional<std::string> businessStatus;
  /// The reply's "childrenNodes"; empty when absent or null.
  std::optional<std::vector<std::shared_ptr<ChildrenNode>>> childrenNodes;
};

}  // namespace orvane::site
