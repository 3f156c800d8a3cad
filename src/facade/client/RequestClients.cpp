// The eight request clients' paths and body dictionaries, one definition for all of them, from
// the list of operations.
#include <nlohmann/json.hpp>

#include "facade/client/BodyWriter.h"
#include "facade/client/RequestFields.h"
#include "orvane/site/ContextDataCache.h"
#include "orvane/site/internal/client/DetailSearchRequestClient.h"
#include "orvane/site/internal/client/GeocodeRequestClient.h"
#include "orvane/site/internal/client/NearbySearchRequestClient.h"
#include "orvane/site/internal/client/QueryAutocompleteRequestClient.h"
#include "orvane/site/internal/client/QuerySuggestionRequestClient.h"
#include "orvane/site/internal/client/ReverseGeocodeRequestClient.h"
#include "orvane/site/internal/client/TextSearchRequestClient.h"
#include "orvane/site/internal/client/TimezoneRequestClient.h"

namespace orvane::site {
namespace {

// The cached API path is read at each call, so a change to it applies to the next call. The
// time zone lies in another service area, where it does not apply.
std::string operationPath(bool underApiPath, const char* path) {
  return underApiPath ? ContextDataCache::shared()->apiPath() + path : std::string(path);
}

template <typename Request>
nlohmann::json bodyOf(const std::optional<Request>& request) {
  if (!request) return nlohmann::json::object();
  internal::BodyWriter writer;
  internal::writeFields(*request, writer);
  return writer.take();
}

}  // namespace

#define ORVANE_SITE_OPERATION(name, Stem, underApiPath, pathText)                                 \
  std::string Stem##RequestClient::path() const { return operationPath(underApiPath, pathText); } \
  nlohmann::json Stem##RequestClient::createBodyParameters() const { return bodyOf(_request()); } \
  std::optional<nlohmann::json> Stem##RequestClient::createOptionalBodyParameters() const {       \
    return createBodyParameters();                                                                \
  }
#include "connection/Operations.inc"
#undef ORVANE_SITE_OPERATION

}  // namespace orvane::site
