#include "orvane/site/internal/client/GeocodeRequestClient.h"

#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string GeocodeRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "geocode";
}

nlohmann::json GeocodeRequestClient::createBodyParameters() const {
  const std::optional<GeocodeRequest> request = _request();
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

std::optional<nlohmann::json> GeocodeRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
