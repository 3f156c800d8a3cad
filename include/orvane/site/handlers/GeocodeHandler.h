#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "orvane/site/Error.h"
#include "orvane/site/responses/GeocodeResponse.h"

namespace orvane::site {

/// The completion handler of SiteClient::geocode: receives the response or the Error of the
/// call (exactly one of the two is present), once, on the library thread
/// "orvane-site-services".
using GeocodeHandler = std::function<void(std::shared_ptr<GeocodeResponse>, std::optional<Error>)>;

}  // namespace orvane::site
