#include "orvane/site/ClientConfig.h"

#include "internal/EarlyStaticInit.h"

namespace orvane::site {

ORVANE_SITE_EARLY_STATIC_INIT const std::string ClientConfig::ApiScheme = "https";
ORVANE_SITE_EARLY_STATIC_INIT const std::string ClientConfig::BaseUrl = "site-api.orvane.com";
ORVANE_SITE_EARLY_STATIC_INIT const std::string ClientConfig::ApiPath =
    std::string("mapApi") + "/" + "v1" + "/" + "siteService" + "/";
const std::int64_t ClientConfig::maxRetry = 3;
const double ClientConfig::retryInterval = 1.0;
const double ClientConfig::timeoutInterval = 60.0;

}  // namespace orvane::site
