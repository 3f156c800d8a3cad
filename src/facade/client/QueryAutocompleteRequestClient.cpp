#include "orvane/site/internal/client/QueryAutocompleteRequestClient.h"

#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string QueryAutocompleteRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "queryAutoComplete";
}

nlohmann::json QueryAutocompleteRequestClient::createBodyParameters() const {
  const std::optional<QueryAutocompleteRequest> request = _request();
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

std::optional<nlohmann::json> QueryAutocompleteRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
