#include "orvane/site/internal/client/NearbySearchRequestClient.h"

#include <nlohmann/json.hpp>

#include "internal/client/BodyWriter.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string NearbySearchRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "nearbySearch";
}

nlohmann::json NearbySearchRequestClient::createBodyParameters() const {
  const std::optional<NearbySearchRequest> request = _request();
  if (!request) return nlohmann::json::object();
  return internal::BodyWriter()
      .put("location", request->location)
      .put("query", request->query)
      .put("radius", request->radius)
      .putUpperCased("poiType", request->poiType)
      .putUpperCased("ovPoiType", request->ovPoiType)
      .put("language", request->language)
      .put("pageSize", request->pageSize)
      .put("pageIndex", request->pageIndex)
      .take();
}

std::optional<nlohmann::json> NearbySearchRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
