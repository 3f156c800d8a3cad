#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "orvane/site/Error.h"
#include "orvane/site/responses/TimezoneResponse.h"

namespace orvane::site {

/// The completion handler of SiteClient::timezone: receives the response or the Error of the
/// call (exactly one of the two is present), once, on the library thread
/// "orvane-site-services".
using TimezoneHandler =
    std::function<void(std::shared_ptr<TimezoneResponse>, std::optional<Error>)>;

}  // namespace orvane::site
