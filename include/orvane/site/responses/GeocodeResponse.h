#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "orvane/site/Export.h"
#include "orvane/site/records/Site.h"
#include "orvane/site/responses/BaseResponse.h"

namespace orvane::site {

/// The reply of a geocode: the places that match the address.
///
/// Made by decode<GeocodeResponse>() from the reply; the envelope (returnCode, returnDesc) is kept
/// as received. Applications may read and assign every member and may default-construct one (for
/// example to build fake replies in tests). Not synchronised.
class ORVANE_SITE_EXPORT GeocodeResponse : public BaseResponse {
 public:
  /// "sites": the places found, in the service's order.
  std::optional<std::vector<std::shared_ptr<Site>>> sites;
};

}  // namespace orvane::site
