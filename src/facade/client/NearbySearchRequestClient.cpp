#include "orvane/site/internal/client/NearbySearchRequestClient.h"

#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string NearbySearchRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "nearbySearch";
}

nlohmann::json NearbySearchRequestClient::createBodyParameters() const {
  const std::optional<NearbySearchRequest> request = _request();
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

std::optional<nlohmann::json> NearbySearchRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
