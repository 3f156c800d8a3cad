#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "orvane/site/Error.h"
#include "orvane/site/responses/ReverseGeocodeResponse.h"

namespace orvane::site {

/// The completion handler of SiteClient::reverseGeocode: receives the response or the Error of the
/// call (exactly one of the two is present), once, on the library thread
/// "orvane-site-services".
using ReverseGeocodeHandler =
    std::function<void(std::shared_ptr<ReverseGeocodeResponse>, std::optional<Error>)>;

}  // namespace orvane::site
