#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "orvane/site/Error.h"
#include "orvane/site/responses/TextSearchResponse.h"

namespace orvane::site {

/// The completion handler of SiteClient::textSearch: receives the response or the Error of the
/// call (exactly one of the two is present), once, on the library thread
/// "orvane-site-services".
using TextSearchHandler =
    std::function<void(std::shared_ptr<TextSearchResponse>, std::optional<Error>)>;

}  // namespace orvane::site
