#include "orvane/site/internal/client/TextSearchRequestClient.h"

#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string TextSearchRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "searchByText";
}

nlohmann::json TextSearchRequestClient::createBodyParameters() const {
  const std::optional<TextSearchRequest> request = _request();
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

std::optional<nlohmann::json> TextSearchRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
