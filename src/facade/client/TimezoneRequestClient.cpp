#include "orvane/site/internal/client/TimezoneRequestClient.h"

#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"

namespace orvane::site {

std::string TimezoneRequestClient::path() const {
  // Another service area than the other operations: the cached API path does not apply.
  return std::string("mapApi") + "/" + "v1" + "/" + "timezoneService" + "/" + "getTimezone";
}

nlohmann::json TimezoneRequestClient::createBodyParameters() const {
  const std::optional<TimezoneRequest> request = _request();
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

std::optional<nlohmann::json> TimezoneRequestClient::createOptionalBodyParameters() const {
  return createBodyParameters();
}

}  // namespace orvane::site
