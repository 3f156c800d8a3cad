#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "orvane/site/Error.h"
#include "orvane/site/responses/DetailSearchResponse.h"

namespace orvane::site {

/// The completion handler of SiteClient::detailSearch: receives the response or the Error of the
/// call (exactly one of the two is present), once, on the library thread
/// "orvane-site-services".
using DetailSearchHandler =
    std::function<void(std::shared_ptr<DetailSearchResponse>, std::optional<Error>)>;

}  // namespace orvane::site
