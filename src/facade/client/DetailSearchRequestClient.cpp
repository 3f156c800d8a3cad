#include "orvane/site/internal/client/DetailSearchRequestClient.h"

#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string DetailSearchRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "searchById";
}

nlohmann::json DetailSearchRequestClient::createBodyParameters() const {
  const std::optional<DetailSearchRequest> request = _request();
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

std::optional<nlohmann::json> DetailSearchRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
