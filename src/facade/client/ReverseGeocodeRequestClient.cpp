#include "orvane/site/internal/client/ReverseGeocodeRequestClient.h"

#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string ReverseGeocodeRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "reverseGeocode";
}

nlohmann::json ReverseGeocodeRequestClient::createBodyParameters() const {
  const std::optional<ReverseGeocodeRequest> request = _request();
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

std::optional<nlohmann::json> ReverseGeocodeRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
