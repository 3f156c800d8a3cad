#include "orvane/site/internal/client/QuerySuggestionRequestClient.h"

#include <nlohmann/json.hpp>

#include "internal/client/BodyWriter.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string QuerySuggestionRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "querySuggestion";
}

nlohmann::json QuerySuggestionRequestClient::createBodyParameters() const {
  const std::optional<QuerySuggestionRequest> request = _request();
  if (!request) return nlohmann::json::object();
  return internal::BodyWriter()
      .put("query", request->query)
      .put("location", request->location)
      .put("bounds", request->bounds)
      .put("radius", request->radius)
      .putUpperCased("poiTypes", request->poiTypes)
      .put("countryCode", request->countryCode)
      .put("language", request->language)
      .put("children", request->children)
      .take();
}

std::optional<nlohmann::json> QuerySuggestionRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
