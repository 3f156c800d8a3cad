#include "orvane/site/internal/client/TextSearchRequestClient.h"

#include <nlohmann/json.hpp>

#include "internal/client/BodyWriter.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string TextSearchRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "searchByText";
}

nlohmann::json TextSearchRequestClient::createBodyParameters() const {
  const std::optional<TextSearchRequest> request = _request();
  if (!request) return nlohmann::json::object();
  return internal::BodyWriter()
      .put("query", request->query)
      .put("location", request->location)
      .put("radius", request->radius)
      .putUpperCased("poiType", request->poiType)
      .putUpperCased("ovPoiType", request->ovPoiType)
      .put("countryCode", request->countryCode)
      .put("language", request->language)
      .put("pageSize", request->pageSize)
      .put("pageIndex", request->pageIndex)
      .put("children", request->children)
      .take();
}

std::optional<nlohmann::json> TextSearchRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
