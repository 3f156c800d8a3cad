#include "orvane/site/internal/client/QueryAutocompleteRequestClient.h"

#include <nlohmann/json.hpp>

#include "internal/client/BodyWriter.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string QueryAutocompleteRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "queryAutoComplete";
}

nlohmann::json QueryAutocompleteRequestClient::createBodyParameters() const {
  const std::optional<QueryAutocompleteRequest> request = _request();
  if (!request) return nlohmann::json::object();
  return internal::BodyWriter()
      .put("query", request->query)
      .put("location", request->location)
      .put("radius", request->radius)
      .put("language", request->language)
      .put("children", request->children)
      .take();
}

std::optional<nlohmann::json> QueryAutocompleteRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
