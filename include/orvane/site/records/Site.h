#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "orvane/site/Export.h"
#include "orvane/site/records/AddressDetail.h"
#include "orvane/site/records/AutoCompletePrediction.h"
#include "orvane/site/records/Coordinate.h"
#include "orvane/site/records/CoordinateBounds.h"
#include "orvane/site/records/Poi.h"

namespace orvane::site {

/// One place of a result list, as the service describes it.
///
/// Made by decoding a reply; applications may read and assign every member and may
/// default-construct one. Held by std::shared_ptr; not synchronised.
class ORVANE_SITE_EXPORT Site {
 public:
  /// The service's identifier of the place (what detail search takes).
  std::optional<std::string> siteId;
  /// The reply's "name"; empty when absent or null.
  std::optional<std::string> name;
  /// The address as one formatted text.
  std::optional<std::string> formatAddress;
  /// The address broken into its parts; nullptr when absent.
  std::shared_ptr<AddressDetail> address;
  /// The reply's "location"; empty when absent or null.
  std::optional<Coordinate> location;
  /// The reply's "viewport"; empty when absent or null.
  std::optional<CoordinateBounds> viewport;
  /// The distance the service reports, in the service's unit.
  std::optional<double> distance;
  /// Point-of-interest details; nullptr when absent.
  std::shared_ptr<Poi> poi;
  /// The reply's "prediction"; empty when absent or null.
  std::optional<AutoCompletePrediction> prediction;
  /// The offset from UTC the service reports, in the service's unit.
  std::optional<std::int64_t> utcOffset;
};

}  // namespace orvane::site
