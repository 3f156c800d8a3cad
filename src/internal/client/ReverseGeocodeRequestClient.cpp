#include "orvane/site/internal/client/ReverseGeocodeRequestClient.h"

#include <nlohmann/json.hpp>

#include "internal/client/BodyWriter.h"
#include "orvane/site/ContextDataCache.h"

namespace orvane::site {

std::string ReverseGeocodeRequestClient::path() const {
  return ContextDataCache::shared()->apiPath() + "reverseGeocode";
}

nlohmann::json ReverseGeocodeRequestClient::createBodyParameters() const {
  const std::optional<ReverseGeocodeRequest> request = _request();
  if (!request) return nlohmann::json::object();
  return internal::BodyWriter()
      .put("location", request->location)
      .put("language", request->language)
      .put("returnPoi", request->returnPoi)
      .take();
}

std::optional<nlohmann::json> ReverseGeocodeRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
