#include "orvane/site/internal/client/QuerySuggestionRequestClient.h"

#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string QuerySuggestionRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "querySuggestion";
}

nlohmann::json QuerySuggestionRequestClient::createBodyParameters() const {
  const std::optional<QuerySuggestionRequest> request = _request();
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

std::optional<nlohmann::json> QuerySuggestionRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
